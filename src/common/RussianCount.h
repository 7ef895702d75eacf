#pragma once

#include <QString>

// A number with the word after it in the form Russian gives that number.
class RussianCount
{
public:
    // "5 звонков": `n` with `one` (1, 21), `few` (2-4, 22-24) or `many` (5-20, 25...).
    static QString of(qint64 n, const QString& one, const QString& few, const QString& many);
    static QString calls(qint64 n);
};

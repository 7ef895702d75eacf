#pragma once

#include "Outcome.h"

#include <QDate>
#include <QMap>
#include <QSqlDatabase>
#include <QStringList>

class SqlDialect;

// A register summed up so that two can be told apart: the rows of each of its tables and every
// report over the whole span of its calls. Read inside a transaction it describes one moment.
class RegisterFigures
{
public:
    // The tables counted; a table the register gains is one more name here.
    static const QStringList& tables();

    static Outcome<RegisterFigures> read(const QSqlDatabase& db, const SqlDialect& dialect);

    qint64 calls() const { return m_counts.value(QStringLiteral("Base"), 0); }
    // Empty when these figures are those of `source`; else the first difference in words.
    QString differenceFrom(const RegisterFigures& source) const;

private:
    QMap<QString, qint64> m_counts;
    QMap<QString, QStringList> m_reports;
    QDate m_first;
    QDate m_last;
};

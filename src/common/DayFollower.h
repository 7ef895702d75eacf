#pragma once

#include <QDate>

// The date of an entry field that follows the day: while the field shows the date the program
// last put there, it moves on to the new day when the day changes; a date the operator chose
// instead is kept.
class DayFollower
{
public:
    // The program puts `date` into the field.
    void set(const QDate& date) { m_set = date; }
    // The date the field is to show on `today` when it shows `shown`: `today` when it still
    // shows the date the program last put there and the day has changed since (that date then
    // becomes the program's), else `shown`.
    QDate follow(const QDate& shown, const QDate& today);

private:
    QDate m_set;
};

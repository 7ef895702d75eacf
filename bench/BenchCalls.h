#pragma once

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>
#include <QTime>

// One generated call: indexes into the bench's services and sources.
struct BenchCall
{
    QDate date;
    int service = 0;
    int source = 0;
    bool booked = false;
    QTime time;
};

// The bench's calls, made one at a time and always the same: `count` calls spread evenly over
// the days from `first` to `last`, in date order. None is kept, so any number can be written.
class BenchCalls
{
public:
    BenchCalls(qint64 count, const QDate& first, const QDate& last);

    // The next call; false after the last.
    bool next(BenchCall& call);

    static const QStringList& services();
    static const QStringList& sources();

private:
    qint64 m_count;
    QDate m_first;
    qint64 m_days;
    qint64 m_made = 0;
    QRandomGenerator m_random;
};

#pragma once

#include "AnalysisPeriod.h"
#include "SourceFigures.h"

#include <QByteArray>
#include <QDate>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

// The summary a report mail carries in its text when the option is on: the period, all calls
// and bookings and the booking rate against the period before, the sources with the lowest
// and the highest cost per booking, and a chart of the calls per day. Numbers and dates are
// written in Russian whatever the process locale.
class MailDigest
{
public:
    struct Day
    {
        QDate date;
        qint64 calls = 0;
        qint64 booked = 0;
    };

    // The sources ranked by cost per booking: up to three cheapest, then up to three of the
    // dearest that are not among them (dearest first). Sources without spend or without
    // bookings have no cost per booking and are only named.
    struct Ranking
    {
        QVector<SourceFigures> best;
        QVector<SourceFigures> worst;
        QStringList withoutSpend;
        QStringList withoutBookings;
    };
    static constexpr int kRanked = 3;
    static constexpr int kChartWidth = 560;
    static constexpr int kChartHeight = 180;

    // `days`: the calls and bookings of each day of `period` (days missing count as none);
    // previousCalls, previousBooked: all calls and bookings of period.previous().
    MailDigest(const AnalysisPeriod& period, const QVector<Day>& days, qint64 previousCalls,
               qint64 previousBooked, const QVector<SourceFigures>& sources);

    static Ranking rank(const QVector<SourceFigures>& sources);

    AnalysisPeriod period() const { return m_period; }
    qint64 calls() const { return m_calls; }
    qint64 booked() const { return m_booked; }
    // Each day of the period in order, those without calls included.
    const QVector<Day>& days() const { return m_days; }

    // The summary as plain text and as an HTML fragment (the chart as <img src="cid:...">,
    // DigestOption::chartContentId).
    QString text() const;
    QString html() const;
    // The calls per day as a bar chart with the bookings inside the bars.
    QImage chart() const;
    QByteArray chartPng() const;

    // "1 234" (non-breaking blank), "25,0 %", "+20,0 %", "01.12.2026".
    static QString count(qint64 value);
    static QString percent(double share);
    static QString change(qint64 now, qint64 before);
    static QString date(const QDate& date);

private:
    QStringList figureLines() const;
    QString periodLine() const;

    AnalysisPeriod m_period;
    QVector<Day> m_days;
    qint64 m_calls = 0;
    qint64 m_booked = 0;
    qint64 m_previousCalls = 0;
    qint64 m_previousBooked = 0;
    Ranking m_ranking;
};

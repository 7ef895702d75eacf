#pragma once

#include <QString>
#include <optional>

// The figures of one advertising source (or of all of them) over a period and the period of
// the same length before it. Money in kopecks.
struct SourceFigures
{
    QString name;
    qint64 calls = 0;
    qint64 booked = 0;
    qint64 previousCalls = 0;
    qint64 previousBooked = 0;
    // Nothing when no amount is entered for any day of the period (0 is an amount).
    std::optional<qint64> spend;

    // The share of the calls that booked, 0..1; nothing without calls.
    std::optional<double> rate() const;
    // The spend per call and per booking, rounded to kopecks; nothing without a spend, calls,
    // bookings. Of a sum (add()), over the calls and bookings of the parts with a spend only.
    std::optional<qint64> costPerCall() const;
    std::optional<qint64> costPerBooking() const;
    // The change from `before` to `now` as a share of `before` (0.25: a quarter more);
    // nothing when `before` is 0.
    static std::optional<double> change(qint64 now, qint64 before);

    // Adds another source's figures (for the totals row).
    void add(const SourceFigures& other);

private:
    qint64 callsWithSpend() const;
    qint64 bookedWithSpend() const;

    // Of a sum: the calls and bookings of the parts with a spend.
    std::optional<qint64> m_pricedCalls;
    std::optional<qint64> m_pricedBooked;
};

#include "SourceFigures.h"

#include "Money.h"

#include <limits>

namespace {
qint64 sum(qint64 a, qint64 b)
{
    qint64 result = 0;
    return __builtin_add_overflow(a, b, &result) ? std::numeric_limits<qint64>::max() : result;
}
} // namespace

std::optional<double> SourceFigures::rate() const
{
    if (calls == 0)
        return std::nullopt;
    return double(booked) / double(calls);
}

std::optional<qint64> SourceFigures::costPerCall() const
{
    return spend ? Money::divide(*spend, callsWithSpend()) : std::nullopt;
}

std::optional<qint64> SourceFigures::costPerBooking() const
{
    return spend ? Money::divide(*spend, bookedWithSpend()) : std::nullopt;
}

qint64 SourceFigures::callsWithSpend() const
{
    return spend ? m_pricedCalls.value_or(calls) : 0;
}

qint64 SourceFigures::bookedWithSpend() const
{
    return spend ? m_pricedBooked.value_or(booked) : 0;
}

std::optional<double> SourceFigures::change(qint64 now, qint64 before)
{
    if (before == 0)
        return std::nullopt;
    return double(now - before) / double(before);
}

void SourceFigures::add(const SourceFigures& other)
{
    const qint64 pricedCalls = sum(callsWithSpend(), other.callsWithSpend());
    const qint64 pricedBooked = sum(bookedWithSpend(), other.bookedWithSpend());
    calls = sum(calls, other.calls);
    booked = sum(booked, other.booked);
    previousCalls = sum(previousCalls, other.previousCalls);
    previousBooked = sum(previousBooked, other.previousBooked);
    if (other.spend)
        spend = sum(spend.value_or(0), *other.spend);
    if (spend) {
        m_pricedCalls = pricedCalls;
        m_pricedBooked = pricedBooked;
    }
}

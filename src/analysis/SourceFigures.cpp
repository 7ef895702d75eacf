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
    return Money::divide(spend, calls);
}

std::optional<qint64> SourceFigures::costPerBooking() const
{
    return Money::divide(spend, booked);
}

std::optional<double> SourceFigures::change(qint64 now, qint64 before)
{
    if (before == 0)
        return std::nullopt;
    return double(now - before) / double(before);
}

void SourceFigures::add(const SourceFigures& other)
{
    calls = sum(calls, other.calls);
    booked = sum(booked, other.booked);
    previousCalls = sum(previousCalls, other.previousCalls);
    previousBooked = sum(previousBooked, other.previousBooked);
    spend = sum(spend, other.spend);
}

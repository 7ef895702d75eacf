#pragma once

#include <QtGlobal>
#include <array>

// Calls by weekday (1 Monday .. 7 Sunday) and hour of the day (0..23), and the calls that have
// no time of day, counted apart.
class CallHeatMap
{
public:
    // Adds calls to a cell; an hour outside 0..23 counts as untimed, a weekday outside 1..7 is
    // ignored.
    void add(int weekday, int hour, qint64 calls);

    qint64 calls(int weekday, int hour) const;
    qint64 untimed() const { return m_untimed; }
    // The largest cell (0 when all are empty).
    qint64 maximum() const;
    qint64 timedTotal() const;

private:
    std::array<std::array<qint64, 24>, 7> m_cells{};
    qint64 m_untimed = 0;
};

#include "CallHeatMap.h"

#include <algorithm>

void CallHeatMap::add(int weekday, int hour, qint64 calls)
{
    if (weekday < 1 || weekday > 7)
        return;
    if (hour < 0 || hour > 23)
        m_untimed += calls;
    else
        m_cells[weekday - 1][hour] += calls;
}

qint64 CallHeatMap::calls(int weekday, int hour) const
{
    if (weekday < 1 || weekday > 7 || hour < 0 || hour > 23)
        return 0;
    return m_cells[weekday - 1][hour];
}

qint64 CallHeatMap::maximum() const
{
    qint64 top = 0;
    for (const auto& day : m_cells)
        top = std::max(top, *std::max_element(day.begin(), day.end()));
    return top;
}

qint64 CallHeatMap::timedTotal() const
{
    qint64 total = 0;
    for (const auto& day : m_cells)
        for (const qint64 calls : day)
            total += calls;
    return total;
}

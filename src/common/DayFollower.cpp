#include "DayFollower.h"

QDate DayFollower::follow(const QDate& shown, const QDate& today)
{
    if (!m_set.isValid() || shown != m_set || today == m_set)
        return shown;
    m_set = today;
    return today;
}

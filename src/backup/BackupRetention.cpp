#include "BackupRetention.h"

#include "AppPaths.h"

#include <QSet>

#include <functional>

namespace {
constexpr const char* dailyKey = "backupDaily";
constexpr const char* weeklyKey = "backupWeekly";
constexpr const char* monthlyKey = "backupMonthly";

int stored(const char* key, int fallback)
{
    bool ok = false;
    const int value = AppPaths::programSetting(key).toInt(&ok);
    return ok && value >= 0 ? value : fallback;
}
} // namespace

BackupRetention::Counts BackupRetention::chosen()
{
    const Counts defaults;
    return {stored(dailyKey, defaults.daily), stored(weeklyKey, defaults.weekly),
            stored(monthlyKey, defaults.monthly)};
}

bool BackupRetention::choose(const Counts& counts)
{
    return AppPaths::storeProgramSetting(dailyKey, counts.daily) &&
           AppPaths::storeProgramSetting(weeklyKey, counts.weekly) &&
           AppPaths::storeProgramSetting(monthlyKey, counts.monthly);
}

QList<QDateTime> BackupRetention::kept(QList<QDateTime> taken) const
{
    std::sort(taken.begin(), taken.end(), std::greater<>());
    QSet<int> keep;
    // The newest copy of each of the last `count` periods, a period told by its key.
    auto keepNewest = [&](int count, const std::function<qint64(const QDate&)>& period) {
        QSet<qint64> periods;
        for (int i = 0; i < taken.size() && periods.size() < count; ++i) {
            const qint64 key = period(taken.at(i).date());
            if (!periods.contains(key)) {
                periods.insert(key);
                keep.insert(i);
            }
        }
    };
    keepNewest(m_counts.daily, [](const QDate& d) { return d.toJulianDay(); });
    keepNewest(m_counts.weekly,
               [](const QDate& d) { return d.addDays(1 - d.dayOfWeek()).toJulianDay(); });
    keepNewest(m_counts.monthly, [](const QDate& d) { return qint64(d.year()) * 12 + d.month(); });
    QList<QDateTime> result;
    for (int i = 0; i < taken.size(); ++i)
        if (keep.contains(i))
            result << taken.at(i);
    return result;
}

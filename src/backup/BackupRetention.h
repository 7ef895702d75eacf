#pragma once

#include <QDateTime>
#include <QList>

// Which copies a folder keeps: the newest copy of each of the last `daily` days that have one,
// of each of the last `weekly` weeks (Monday to Sunday) and of each of the last `monthly`
// months; a copy kept for several reasons is kept once.
class BackupRetention
{
public:
    struct Counts
    {
        int daily = 7;
        int weekly = 4;
        int monthly = 12;
    };

    // The counts chosen in the program settings (7, 4 and 12 unless changed).
    static Counts chosen();
    static bool choose(const Counts& counts);

    explicit BackupRetention(const Counts& counts) : m_counts(counts) {}
    // Of the moments the copies were taken, those kept.
    QList<QDateTime> kept(QList<QDateTime> taken) const;

private:
    Counts m_counts;
};

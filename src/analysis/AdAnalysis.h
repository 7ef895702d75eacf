#pragma once

#include "AnalysisPeriod.h"
#include "CallHeatMap.h"
#include "SourceFigures.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

class DataEnv;
class QSqlDatabase;

// The advertising analysis over a period, read from the totals the database keeps (never by
// walking the calls): per source of the list (names matched as in the per-source report, in
// its order) the calls and bookings of the period and of the one it is compared with, and the
// spend, prorated by days; the calls by weekday and hour; and the calls and bookings per week.
class AdAnalysis
{
public:
    struct Week
    {
        QDate monday;
        qint64 calls = 0;
        qint64 booked = 0;
    };

    // env: the data environment (nullptr: the program-wide one).
    explicit AdAnalysis(DataEnv* env = nullptr);

    // Reads everything for the period in one read transaction; false (and errorText()) when
    // the database cannot be read or the period is no period.
    bool load(const AnalysisPeriod& period);
    QString errorText() const { return m_error; }

    AnalysisPeriod period() const { return m_period; }
    AnalysisPeriod previous() const { return m_period.previous(); }
    const QVector<SourceFigures>& rows() const { return m_rows; }
    const SourceFigures& total() const { return m_total; }
    const CallHeatMap& heatMap() const { return m_heatMap; }
    // The weeks (from Monday) that the period touches, with the calls and bookings of the
    // sources at the given rows, or of all calls when no row is given. Those of a source are
    // read when first asked for; empty (and errorText()) when they cannot be read.
    QVector<Week> weeks(const QList<int>& rows = {});

private:
    using WeekCounts = QMap<int, QPair<qint64, qint64>>; // week number -> calls, booked

    bool fail(const QString& reason);
    bool readFigures(QSqlDatabase& db);
    bool readSpend(QSqlDatabase& db);
    bool readHeatMap(QSqlDatabase& db);
    // The weeks of all calls (row -1) or of the source at a row.
    bool readWeeks(QSqlDatabase& db, int row);

    DataEnv* m_env;
    AnalysisPeriod m_period;
    QVector<SourceFigures> m_rows;
    QVector<qint64> m_order; // each row's place in the list of sources
    SourceFigures m_total;
    CallHeatMap m_heatMap;
    int m_weekCount = 0;
    QHash<int, WeekCounts> m_weekly; // by row; -1: all calls
    QString m_error;
};

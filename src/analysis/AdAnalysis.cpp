#include "AdAnalysis.h"

#include "DataEnv.h"
#include "Money.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

AdAnalysis::AdAnalysis(DataEnv* env) : m_env(env ? env : DataEnv::instance()) {}

bool AdAnalysis::fail(const QString& reason)
{
    m_error = QStringLiteral("Анализ рекламы не прочитан: %1").arg(reason);
    return false;
}

bool AdAnalysis::load(const AnalysisPeriod& period)
{
    m_error.clear();
    m_period = period;
    m_rows.clear();
    m_order.clear();
    m_total = SourceFigures();
    m_total.name = QStringLiteral("Итого");
    m_heatMap = CallHeatMap();
    m_weekly.clear();
    m_weekCount = 0;
    if (!period.isValid())
        return fail(QStringLiteral("начало периода позже его конца"));
    if (!m_env->connect()) {
        m_error = m_env->errorText();
        return false;
    }
    QSqlDatabase db = m_env->database().connection();
    // One read transaction: every part as of one moment.
    if (!db.transaction())
        return fail(Database::describe(db.lastError()));
    const QDate monday = AnalysisPeriod::monday(period.from());
    m_weekCount = int(monday.daysTo(AnalysisPeriod::monday(period.to())) / 7 + 1);
    const bool ok = readFigures(db) && readSpend(db) && readHeatMap(db) && readWeeks(db, -1);
    db.commit();
    if (!ok)
        return false;
    for (const SourceFigures& row : std::as_const(m_rows))
        m_total.add(row);
    return true;
}

bool AdAnalysis::readFigures(QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const AnalysisPeriod before = m_period.previous();
    if (!query.prepare(m_env->database().dialect().sourceFigures()) ||
        !m_env->database().bindArguments(
            query, {m_period.from(), m_period.to(), before.from(), before.to()}) ||
        !query.exec())
        return fail(Database::describe(query.lastError()));
    while (query.next()) {
        SourceFigures row;
        m_order << query.value(0).toLongLong();
        row.name = query.value(1).toString();
        row.calls = query.value(2).toLongLong();
        row.booked = query.value(3).toLongLong();
        row.previousCalls = query.value(4).toLongLong();
        row.previousBooked = query.value(5).toLongLong();
        m_rows << row;
    }
    return true;
}

bool AdAnalysis::readSpend(QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const QString first = m_period.from().toString("yyyy-MM");
    const QString last = m_period.to().toString("yyyy-MM");
    if (!query.prepare(m_env->database().dialect().sourceSpend()) ||
        !m_env->database().bindArguments(query, {first, last}) || !query.exec())
        return fail(Database::describe(query.lastError()));
    QMap<qint64, QList<Money::MonthAmount>> spend;
    while (query.next()) {
        const QDate month = QDate::fromString(query.value(1).toString() + "-01", Qt::ISODate);
        if (month.isValid())
            spend[query.value(0).toLongLong()]
                << Money::MonthAmount{month, query.value(2).toLongLong()};
    }
    // A source without an amount for any month of the period has no spend, not a spend of 0.
    for (int i = 0; i < m_rows.size(); ++i)
        if (spend.contains(m_order.at(i)))
            m_rows[i].spend =
                Money::prorate(spend.value(m_order.at(i)), m_period.from(), m_period.to());
    return true;
}

bool AdAnalysis::readHeatMap(QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(m_env->database().dialect().callsByHour()) ||
        !m_env->database().bindArguments(query, {m_period.from(), m_period.to()}) || !query.exec())
        return fail(Database::describe(query.lastError()));
    while (query.next()) {
        const int key = query.value(0).toInt();
        m_heatMap.add(key / 100, key % 100, query.value(1).toLongLong());
    }
    return true;
}

bool AdAnalysis::readWeeks(QSqlDatabase& db, int row)
{
    QVariantList arguments{m_period.from(), m_period.to(), AnalysisPeriod::monday(m_period.from())};
    if (row >= 0)
        arguments << m_rows.at(row).name;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(m_env->database().dialect().weeklyCalls(row >= 0)) ||
        !m_env->database().bindArguments(query, arguments) || !query.exec())
        return fail(Database::describe(query.lastError()));
    WeekCounts& counts = m_weekly[row];
    while (query.next())
        counts.insert(query.value(0).toInt(),
                      {query.value(1).toLongLong(), query.value(2).toLongLong()});
    return true;
}

QVector<AdAnalysis::Week> AdAnalysis::weeks(const QList<int>& rows)
{
    m_error.clear();
    QVector<Week> weeks(m_weekCount);
    const QDate monday = AnalysisPeriod::monday(m_period.from());
    for (int w = 0; w < m_weekCount; ++w)
        weeks[w].monday = monday.addDays(7 * w);
    QList<int> chosen;
    for (const int row : rows)
        if (row >= 0 && row < m_rows.size() && !chosen.contains(row))
            chosen << row;
    if (rows.isEmpty())
        chosen << -1;
    for (const int row : std::as_const(chosen)) {
        if (!m_weekly.contains(row)) {
            QSqlDatabase db = m_env->database().connection();
            if (!readWeeks(db, row)) {
                m_weekly.remove(row);
                return {};
            }
        }
        const WeekCounts& counts = m_weekly[row];
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.key() < 0 || it.key() >= m_weekCount)
                continue;
            weeks[it.key()].calls += it.value().first;
            weeks[it.key()].booked += it.value().second;
        }
    }
    return weeks;
}

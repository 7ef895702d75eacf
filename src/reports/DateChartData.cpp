#include "DateChartData.h"

#include "DataEnv.h"
#include "ReportKind.h"
#include "ReportRows.h"
#include "ReportText.h"
#include "RowSet.h"

DateChartData DateChartData::fromEnvironment(DataEnv* env)
{
    const ReportKind& byDate = *ReportKind::find(ReportKind::ByDate);
    RowSet* rows = env ? env->rowSet(byDate.rowSetName()) : nullptr;
    if (!rows)
        return DateChartData();
    const bool wasOpen = rows->isOpen();
    const QString earlierError = env->errorText();
    env->bind(byDate.command());
    if (!rows->isOpen()) {
        // Never run with a period (nothing was tried), or the re-run failed.
        DateChartData empty;
        if (env->errorText() != earlierError)
            empty.m_error = env->errorText();
        return empty;
    }
    DateChartData data = fromRows(*rows);
    if (!wasOpen)
        rows->close();
    return data;
}

DateChartData DateChartData::fromRows(const QAbstractItemModel& model)
{
    DateChartData data;
    data.m_hasPeriod = true;
    const ReportRows rows(model);
    const int date = rows.column("Data");
    const int all = rows.column("Vsego");
    const int booked = rows.column("Zapis");
    for (int row = 0; row < rows.count(); ++row) {
        data.m_categories << ReportText::value(rows.value(row, date));
        data.m_all << rows.value(row, all).toInt();
        data.m_booked << rows.value(row, booked).toInt();
    }
    return data;
}

int DateChartData::maximum() const
{
    int top = 0;
    for (int value : m_all + m_booked)
        top = qMax(top, value);
    return top;
}

QString DateChartData::notice() const
{
    if (!m_error.isEmpty())
        return QStringLiteral("Нет данных: %1").arg(m_error);
    if (!m_hasPeriod)
        return QStringLiteral("Период не выбран: сначала постройте отчет по датам");
    if (m_categories.isEmpty())
        return QStringLiteral("За выбранный период звонков нет");
    return QString();
}

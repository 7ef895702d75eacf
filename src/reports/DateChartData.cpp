#include "DateChartData.h"

#include "DataEnv.h"
#include "ReportKind.h"
#include "ReportRows.h"
#include "ReportRunner.h"
#include "ReportText.h"

DateChartData DateChartData::forPeriod(DataEnv* env, const std::optional<ReportPeriod>& period)
{
    const ReportKind* byDate = ReportKind::find(ReportKind::ByDate);
    if (!env || !period || !byDate)
        return DateChartData();
    ReportRunner runner(env);
    const std::unique_ptr<QStandardItemModel> rows = runner.rows(*byDate, *period);
    if (!rows) {
        DateChartData failed;
        failed.m_error = env->errorText();
        return failed;
    }
    return fromRows(*rows);
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

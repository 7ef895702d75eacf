#include "ReportRunner.h"

#include "DataEnv.h"
#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPeriod.h"
#include "RowSet.h"

#include <QHash>

namespace {
QHash<int, ReportPeriod>& lastPeriods()
{
    static QHash<int, ReportPeriod> periods; // key: the report kind's value
    return periods;
}
} // namespace

ReportRunner::ReportRunner(DataEnv* env) : m_env(env ? env : DataEnv::instance()) {}

std::optional<ReportPeriod> ReportRunner::lastPeriod(const ReportKind& kind)
{
    const auto found = lastPeriods().constFind(kind.value());
    return found == lastPeriods().cend() ? std::nullopt : std::optional(*found);
}

std::unique_ptr<QStandardItemModel> ReportRunner::rows(const ReportKind& kind,
                                                       const ReportPeriod& period)
{
    m_error.clear();
    RowSet* set = m_env->rowSet(kind.rowSetName());
    if (!set) {
        m_error = QStringLiteral("Нет набора строк %1").arg(kind.rowSetName());
        return nullptr;
    }
    lastPeriods().insert(kind.value(), period);
    if (!m_env->execute(kind.command(), kind.arguments(period))) {
        m_error = QStringLiteral("Не удалось выполнить запрос %1: %2")
                      .arg(kind.command(), m_env->errorText());
        set->close();
        return nullptr;
    }
    auto copy = std::make_unique<QStandardItemModel>(set->rowCount(), set->columnCount());
    for (int c = 0; c < set->columnCount(); ++c)
        copy->setHeaderData(c, Qt::Horizontal, set->headerData(c, Qt::Horizontal));
    for (int r = 0; r < set->rowCount(); ++r)
        for (int c = 0; c < set->columnCount(); ++c)
            copy->setData(copy->index(r, c), set->index(r, c).data(Qt::DisplayRole));
    set->close();
    return copy;
}

bool ReportRunner::exportTo(const ReportKind& kind, const ReportPeriod& period,
                            const QString& fileName, ReportFileWriter::Format format)
{
    const ReportLayout* layout = ReportLayouts::get(kind.layoutName());
    if (!layout) {
        m_error = QStringLiteral("Нет макета отчета %1").arg(kind.layoutName());
        return false;
    }
    const std::unique_ptr<QStandardItemModel> data = rows(kind, period);
    if (!data)
        return false;
    ReportFileWriter writer;
    if (!writer.write(format, *layout, *data, period.text(), fileName)) {
        m_error = writer.errorText();
        return false;
    }
    return true;
}

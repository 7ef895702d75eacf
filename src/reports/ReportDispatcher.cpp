#include "ReportDispatcher.h"

#include "DataEnv.h"
#include "Dialogs.h"
#include "ReportKind.h"
#include "ReportLayouts.h"
#include "ReportPreview.h"
#include "RowSet.h"

ReportDispatcher::ReportDispatcher(DataEnv* env) : m_env(env ? env : DataEnv::instance()) {}

QString ReportDispatcher::failureTitle()
{
    return QStringLiteral("Сообщение");
}

ReportLayout* ReportDispatcher::prepare(const ReportKind& kind, const ReportPeriod& period)
{
    m_error.clear();
    if (!m_env->execute(kind.command(), kind.arguments(period))) {
        m_error = QStringLiteral("Не удалось выполнить запрос %1: %2")
                      .arg(kind.command(), m_env->lastError());
        return nullptr;
    }
    ReportLayout* layout = ReportLayouts::get(kind.layoutName());
    ReportSection* header = layout ? layout->section(ReportLayout::headerSection) : nullptr;
    ReportControl* label = header ? header->control(ReportLayout::periodLabel) : nullptr;
    if (!label) {
        m_error = QStringLiteral("В макете отчета %1 нет надписи периода").arg(kind.layoutName());
        return nullptr;
    }
    label->setCaption(period.text());
    if (!m_env->rowSet(kind.rowSetName())) {
        m_error = QStringLiteral("Нет набора строк %1").arg(kind.rowSetName());
        return nullptr;
    }
    return layout;
}

void ReportDispatcher::finish(const ReportKind& kind)
{
    if (RowSet* rows = m_env->rowSet(kind.rowSetName()))
        rows->close();
}

bool ReportDispatcher::preview(int kindValue, const ReportPeriod& period, QWidget* parent)
{
    const ReportKind* kind = ReportKind::find(kindValue);
    if (!kind)
        return true;
    bool ok = false;
    if (ReportLayout* layout = prepare(*kind, period)) {
        QString reason;
        ok = ReportPreview::show(*layout, *m_env->rowSet(kind->rowSetName()), parent, &reason);
        if (!ok)
            m_error = QStringLiteral("Не удалось показать отчет «%1»: %2")
                          .arg(layout->windowCaption(), reason);
    }
    finish(*kind);
    if (!ok)
        Dialogs::critical(parent, failureTitle(), m_error);
    return ok;
}

bool ReportDispatcher::exportTo(int kindValue, const ReportPeriod& period, const QString& fileName,
                                ReportExporter::Format format)
{
    m_error.clear();
    const ReportKind* kind = ReportKind::find(kindValue);
    if (!kind) {
        m_error = QStringLiteral("Нет отчета вида %1").arg(kindValue);
        return false;
    }
    bool ok = false;
    if (ReportLayout* layout = prepare(*kind, period))
        ok = ReportExporter::write(format, *layout, *m_env->rowSet(kind->rowSetName()), fileName,
                                   &m_error);
    finish(*kind);
    return ok;
}

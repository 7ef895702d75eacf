#include "ReportPreview.h"

#include "Dialogs.h"
#include "ReportKind.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "ReportPeriod.h"
#include "ReportRunner.h"
#include "Twips.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

ReportPreview::Handler ReportPreview::s_handler;

void ReportPreview::setHandler(Handler handler)
{
    s_handler = std::move(handler);
}

bool ReportPreview::showReport(const ReportKind& kind, const ReportPeriod& period, DataEnv* env,
                               QWidget* parent)
{
    const ReportLayout* layout = ReportLayouts::get(kind.layoutName());
    ReportRunner runner(env);
    const std::unique_ptr<QStandardItemModel> rows = layout ? runner.rows(kind, period) : nullptr;
    QString failure = runner.errorText();
    if (rows) {
        ReportPreview preview;
        if (preview.show(*layout, *rows, period.text(), parent))
            return true;
        failure = QStringLiteral("Не удалось показать отчет «%1»: %2")
                      .arg(layout->windowCaption(), preview.errorText());
    } else if (!layout) {
        failure = QStringLiteral("Нет макета отчета %1").arg(kind.layoutName());
    }
    // Named as on the menu: the operator knows the report by that name, not by its command.
    Dialogs::critical(parent, QStringLiteral("Сообщение"),
                      QStringLiteral("Отчет «%1» не построен.\n%2")
                          .arg(QString(kind.menuCaption()).remove('&'), failure));
    return false;
}

bool ReportPreview::show(const ReportLayout& layout, const QAbstractItemModel& rows,
                         const QString& period, QWidget* parent)
{
    m_error.clear();
    ReportPaginator check(layout);
    if (!check.paginate(rows, period)) {
        m_error = check.errorText();
        return false;
    }

    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(
        QPageLayout(ReportPainter::pageSize(check.pageSize()), QPageLayout::Portrait, QMarginsF()));
    printer.setDocName(layout.title());

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(layout.name());
    dialog.setWindowTitle(layout.windowCaption());
    dialog.resize(
        Twips::size(layout.previewClientSize().width(), layout.previewClientSize().height()));
    QString paintError;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&layout, &rows, &period, &paintError](QPrinter* target) {
                         // The operator may have chosen other paper in the page setup.
                         ReportPaginator paginator(layout);
                         const QPageLayout page = target->pageLayout();
                         QSize sheet = ReportPainter::twips(page.pageSize());
                         if (page.orientation() == QPageLayout::Landscape)
                             sheet.transpose();
                         paginator.setPageSize(sheet);
                         if (!paginator.paginate(rows, period)) {
                             paintError = paginator.errorText();
                             return;
                         }
                         if (!ReportPainter::print(paginator.pages(), *target))
                             paintError = QStringLiteral("ошибка вывода страниц отчета");
                     });
    // The window is small: a page across its width reads better than a whole page.
    if (auto* widget = dialog.findChild<QPrintPreviewWidget*>())
        widget->fitToWidth();
    QString failure;
    if (s_handler)
        failure = s_handler(dialog, rows, period);
    else
        dialog.exec();
    if (failure.isEmpty())
        failure = paintError;
    m_error = failure;
    return failure.isEmpty();
}

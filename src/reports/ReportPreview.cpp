#include "ReportPreview.h"

#include "ReportLayout.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "Twips.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

ReportPreview::Handler ReportPreview::s_handler;

void ReportPreview::setHandler(Handler handler)
{
    s_handler = std::move(handler);
}

bool ReportPreview::show(const ReportLayout& layout, const QAbstractItemModel& rows,
                         QWidget* parent, QString* error)
{
    ReportPaginator check(layout);
    if (!check.paginate(rows)) {
        if (error)
            *error = check.error();
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
                     [&layout, &rows, &paintError](QPrinter* target) {
                         // The operator may have chosen other paper in the page setup.
                         ReportPaginator paginator(layout);
                         const QPageLayout page = target->pageLayout();
                         QSize sheet = ReportPainter::twips(page.pageSize());
                         if (page.orientation() == QPageLayout::Landscape)
                             sheet.transpose();
                         paginator.setPageSize(sheet);
                         if (!paginator.paginate(rows)) {
                             paintError = paginator.error();
                             return;
                         }
                         if (!ReportPainter::print(paginator.pages(), *target))
                             paintError = QStringLiteral("ошибка вывода страниц отчета");
                     });
    bool ok = true;
    QString failure;
    if (s_handler)
        ok = s_handler(dialog, &failure);
    else
        dialog.exec();
    if (ok && !paintError.isEmpty()) {
        ok = false;
        failure = paintError;
    }
    if (!ok && error)
        *error = failure;
    return ok;
}

#include "ReportPreview.h"

#include "ReportLayout.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "Twips.h"

#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStandardItemModel>

ReportPreview::Handler ReportPreview::s_handler;

void ReportPreview::setHandler(Handler handler)
{
    s_handler = std::move(handler);
}

bool ReportPreview::show(const ReportLayout& layout, const QAbstractItemModel& rows,
                         QWidget* parent, QString* error)
{
    // The preview draws pages again on every zoom or print; it keeps its own copy of the
    // layout and the rows, so that a scheduled export running meanwhile (which writes the
    // period label and closes the row set) does not change what is on screen.
    const std::unique_ptr<ReportLayout> shownLayout = layout.clone();
    QStandardItemModel shownRows(rows.rowCount(), rows.columnCount());
    for (int c = 0; c < rows.columnCount(); ++c)
        shownRows.setHeaderData(c, Qt::Horizontal, rows.headerData(c, Qt::Horizontal));
    for (int r = 0; r < rows.rowCount(); ++r)
        for (int c = 0; c < rows.columnCount(); ++c)
            shownRows.setData(shownRows.index(r, c), rows.index(r, c).data(Qt::DisplayRole));

    ReportPaginator check(*shownLayout);
    if (!check.paginate(shownRows)) {
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
                     [&shownLayout, &shownRows, &paintError](QPrinter* target) {
                         // The operator may have chosen other paper in the page setup.
                         ReportPaginator paginator(*shownLayout);
                         const QPageLayout page = target->pageLayout();
                         QSize sheet = ReportPainter::twips(page.pageSize());
                         if (page.orientation() == QPageLayout::Landscape)
                             sheet.transpose();
                         paginator.setPageSize(sheet);
                         if (!paginator.paginate(shownRows)) {
                             paintError = paginator.error();
                             return;
                         }
                         if (!ReportPainter::print(paginator.pages(), *target))
                             paintError = QStringLiteral("ошибка вывода страниц отчета");
                     });
    // The window is small: a page across its width reads better than a whole page.
    if (auto* widget = dialog.findChild<QPrintPreviewWidget*>())
        widget->fitToWidth();
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

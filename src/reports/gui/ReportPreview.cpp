#include "ReportPreview.h"

#include "AppPaths.h"
#include "CallRegister.h"
#include "DataEnv.h"

#include "Dialogs.h"
#include "ReportKind.h"
#include "ReportLayout.h"
#include "ReportLayouts.h"
#include "ReportPaginator.h"
#include "ReportPainter.h"
#include "ReportPeriod.h"
#include "ReportRunner.h"
#include "Twips.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScreen>

ReportPreview::Handler ReportPreview::s_handler;

QSize ReportPreview::startSize(const ReportLayout& layout)
{
    // The size the operator left it at; else most of the screen, and never smaller than
    // the layout's own window.
    const QSize remembered = AppPaths::programSetting(QStringLiteral("previewSize")).toSize();
    const QSize designed =
        Twips::size(layout.previewClientSize().width(), layout.previewClientSize().height());
    QSize size = remembered.isValid() ? remembered : designed;
    if (!remembered.isValid())
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            size = size.expandedTo(screen->availableGeometry().size() * 0.85);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    return size;
}

void ReportPreview::rememberSize(const QSize& size)
{
    AppPaths::storeProgramSetting(QStringLiteral("previewSize"), size);
}

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
        // The report counts what the server has; calls kept at this desk are not in it yet.
        if (const int waiting = CallRegister(env ? env : DataEnv::instance()).waitingCount();
            waiting > 0)
            preview.setNote(CallRegister::notSentText(waiting));
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
    dialog.resize(startSize(layout));
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
    if (auto* box = qobject_cast<QBoxLayout*>(dialog.layout()); box && !m_note.isEmpty()) {
        auto* note = new QLabel(m_note, &dialog);
        note->setObjectName("note");
        note->setContentsMargins(6, 2, 6, 2);
        box->addWidget(note);
    }
    // The whole page in view; the operator zooms from there.
    if (auto* widget = dialog.findChild<QPrintPreviewWidget*>())
        widget->fitInView();
    QString failure;
    if (s_handler)
        failure = s_handler(dialog, rows, period);
    else
        dialog.exec();
    rememberSize(dialog.size());
    if (failure.isEmpty())
        failure = paintError;
    m_error = failure;
    return failure.isEmpty();
}

#pragma once

#include <QAbstractItemModel>
#include <QSize>
#include <QString>
#include <functional>

class DataEnv;
class QDialog;
class QWidget;
class ReportKind;
class ReportLayout;
class ReportPeriod;

// The modal preview of a report: the layout's own caption and client size, page navigation,
// zoom and printing.
class ReportPreview
{
public:
    // Runs the report of a kind over the period and previews it; returns when the operator
    // closes the preview. A failure is shown to the operator (parent is the message's parent).
    static bool showReport(const ReportKind& kind, const ReportPeriod& period, DataEnv* env,
                           QWidget* parent);

    // Previews the rows with the period text in the period label. False (and errorText())
    // when the report cannot be laid out or the preview fails.
    bool show(const ReportLayout& layout, const QAbstractItemModel& rows, const QString& period,
              QWidget* parent);
    QString errorText() const { return m_error; }
    // A line shown under the pages, outside the report ("3 звонка ещё не переданы на сервер").
    void setNote(const QString& note) { m_note = note; }

    // Test hook: when set, it gets the ready preview window and what it shows instead of the
    // window being run modally; it returns the failure, empty when the preview worked.
    using Handler = std::function<QString(QDialog& preview, const QAbstractItemModel& rows,
                                          const QString& period)>;
    static void setHandler(Handler handler);

    // The size a preview opens at, and keeping the one it was closed at.
    static QSize startSize(const ReportLayout& layout);
    static void rememberSize(const QSize& size);

private:
    static Handler s_handler;
    QString m_error;
    QString m_note;
};

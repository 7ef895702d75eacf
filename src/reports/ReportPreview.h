#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <functional>

class QDialog;
class QWidget;
class ReportLayout;

// The modal preview of a report: the layout's own caption and client size, page navigation,
// zoom and printing.
class ReportPreview
{
public:
    // Shows the preview of the rows and returns when the operator closes it. False (and
    // error) when the report cannot be laid out or the preview fails.
    static bool show(const ReportLayout& layout, const QAbstractItemModel& rows, QWidget* parent,
                     QString* error = nullptr);

    // Test hook: when set, it gets the ready preview window instead of it being run modally;
    // returning false reports a failed preview with the given error.
    using Handler = std::function<bool(QDialog& preview, QString* error)>;
    static void setHandler(Handler handler);

private:
    static Handler s_handler;
};

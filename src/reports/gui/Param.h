#pragma once

#include "ReportPeriod.h"

#include <QDialog>
#include <functional>

class DataEnv;
class QDateEdit;
class QPushButton;

// The report period dialog: asks for a period and previews the report of the kind chosen on
// the main window's Reports menu. Every opening starts from today - 7 .. today.
class Param : public QDialog
{
    Q_OBJECT

public:
    // reportKind reads the chosen kind afresh (the main window's nReport).
    Param(std::function<int()> reportKind, DataEnv* env, QWidget* parent = nullptr);

    // Opens a fresh dialog modally and returns when it is closed.
    static void showModal(std::function<int()> reportKind, DataEnv* env, QWidget* parent = nullptr);

    ReportPeriod period() const;

public Q_SLOTS:
    // The OK action: the report of the chosen kind, then the dialog closes.
    void dispatch();

private:
    void load();

    std::function<int()> m_reportKind;
    DataEnv* m_env;
    QDateEdit* m_data1 = nullptr;
    QDateEdit* m_data2 = nullptr;
    QPushButton* m_ok = nullptr;
};

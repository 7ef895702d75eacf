#pragma once

#include <QDate>
#include <QDialog>

class DataEnv;
class QDateEdit;
class QTableWidget;

// The editor of the advertising spend: one calendar month at a time, an amount in roubles per
// source of the list. Saving checks every amount first and stores the month in one
// transaction; an amount that is no amount is refused with a message and nothing is stored.
// An empty amount removes the month's amount of that source.
class SpendDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SpendDialog(DataEnv* env, const QDate& month, QWidget* parent = nullptr);

    QDateEdit* monthEdit() const { return m_month; }
    QTableWidget* table() const { return m_table; }
    // Checks and stores the month's amounts; false (after a message) when nothing was stored.
    bool save();

private:
    void load();

    DataEnv* m_env;
    QDateEdit* m_month = nullptr;
    QTableWidget* m_table = nullptr;
    QDate m_loaded;
};

#pragma once

#include <QDate>
#include <QDialog>

class DataEnv;
class QDateEdit;
class QTableWidget;

// The editor of the advertising spend: one calendar month at a time, an amount in roubles per
// source of the list. Saving checks every amount first and stores the month in one
// transaction; an amount that is no amount is refused with a message and nothing is stored.
// An empty amount removes the month's amount of that source. Amounts typed and not stored are
// never lost unasked: choosing another month or closing asks to save them, to drop them, or to
// stay. "Как в прошлом месяце" fills in the previous month's amounts, to be saved as typed ones.
// A source added, renamed or removed elsewhere shows at once; typed amounts stay.
class SpendDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SpendDialog(DataEnv* env, const QDate& month, QWidget* parent = nullptr);

    QDateEdit* monthEdit() const { return m_month; }
    QTableWidget* table() const { return m_table; }
    // Checks and stores the month's amounts; false (after a message) when nothing was stored.
    bool save();
    // Whether an amount differs from what is stored.
    bool isModified() const;
    // Puts the previous month's amounts into the fields of the sources that had one.
    void copyPreviousMonth();

public Q_SLOTS:
    void reject() override;

private:
    void load();
    // Shows the list of sources again after another window or program changed it.
    void followSources();
    void changeMonth();
    // Asks what to do with unsaved amounts; false when the operator stays where he is.
    bool settleChanges();

    DataEnv* m_env;
    QDateEdit* m_month = nullptr;
    QTableWidget* m_table = nullptr;
    QDate m_loaded;
    QStringList m_stored; // the amounts' texts as loaded, by row
    bool m_revertingMonth = false;
};

#pragma once

#include <QDialog>

class CallJournal;
class ChangeLogModel;
class QLabel;
class QTableView;

// "Изменения": the change log of one call (or of all calls), newest first. Not modal.
class ChangeLogDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int shownChanges = 1000;

    ChangeLogDialog(CallJournal& journal, qint64 callId, const QString& callName,
                    QWidget* parent = nullptr);

    // Reads the log again; false (and the reason shown in the dialog) on failure.
    bool reload();
    QTableView* table() const { return m_table; }
    ChangeLogModel* model() const { return m_model; }

private:
    CallJournal& m_journal;
    qint64 m_callId;
    ChangeLogModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_state = nullptr;
};

#include "ChangeLogDialog.h"

#include "CallJournal.h"
#include "ChangeLogModel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

ChangeLogDialog::ChangeLogDialog(CallJournal& journal, qint64 callId, const QString& callName,
                                 QWidget* parent)
    : QDialog(parent), m_journal(journal), m_callId(callId)
{
    setObjectName("ChangeLogDialog");
    setWindowTitle(callId ? QStringLiteral("Изменения звонка")
                          : QStringLiteral("Изменения звонков"));
    auto* title = new QLabel(callId ? callName : QStringLiteral("Все изменения и удаления"), this);
    title->setObjectName("callName");
    m_model = new ChangeLogModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName("changes");
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_state = new QLabel(this);
    m_state->setObjectName("state");
    m_state->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_state);
    layout->addWidget(buttons);
    resize(900, 420);
    reload();
}

bool ChangeLogDialog::reload()
{
    const auto changes = m_journal.changes(m_callId, shownChanges);
    if (!changes) {
        m_model->setChanges({});
        m_state->setText(m_journal.errorText());
        return false;
    }
    m_model->setChanges(*changes);
    // The desk on a server; the call where the log is of one call only.
    const bool desks = std::any_of(changes->begin(), changes->end(),
                                   [](const CallChange& change) { return !change.desk.isEmpty(); });
    m_table->setColumnHidden(ChangeLogModel::Desk, !desks);
    m_table->setColumnHidden(ChangeLogModel::CallName, m_callId != 0);
    m_table->resizeColumnsToContents();
    m_state->setText(changes->isEmpty() ? QStringLiteral("Изменений нет.") : QString());
    m_state->setVisible(changes->isEmpty());
    return true;
}

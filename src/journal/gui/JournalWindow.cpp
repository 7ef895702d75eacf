#include "JournalWindow.h"

#include "CallEdit.h"
#include "CallEditDialog.h"
#include "CallJournal.h"
#include "CallRegister.h"
#include "CallStore.h"
#include "ChangeLogDialog.h"
#include "Clock.h"
#include "DataEnv.h"
#include "Dialogs.h"
#include "JournalModel.h"
#include "JournalPeriod.h"
#include "JournalText.h"
#include "RowSet.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QPointer<JournalWindow>& openWindow()
{
    static QPointer<JournalWindow> window;
    return window;
}

QComboBox* filterBox(QWidget* parent, const char* name)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(10);
    return box;
}

} // namespace

JournalWindow::JournalWindow(DataEnv* env, QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env ? env : DataEnv::instance())
{
    setObjectName("JournalWindow");
    setWindowTitle(QStringLiteral("Журнал звонков"));
    m_env->connect();

    m_today = new QLabel(this);
    m_today->setObjectName("today");
    QFont bold = m_today->font();
    bold.setBold(true);
    m_today->setFont(bold);

    m_model = new JournalModel(m_env->journal(), this);
    m_model->setShowDesk(m_env->connection().dialect().isServer());
    if (m_env->connection().dialect().isServer())
        m_model->setKeptCalls([env = m_env] { return CallRegister(env).waitingCalls(); });
    m_table = new QTableView(this);
    m_table->setObjectName("calls");
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    const int digits = m_table->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000"));
    header->resizeSection(JournalModel::Date, digits + 16);
    header->resizeSection(JournalModel::Time, digits);
    header->resizeSection(JournalModel::Service, 300);
    header->resizeSection(JournalModel::Source, 300);
    header->resizeSection(JournalModel::Booked, 80);
    header->setStretchLastSection(true);

    buildFilters();

    m_edit = new QPushButton(QStringLiteral("Изменить..."), this);
    m_edit->setObjectName("edit");
    m_delete = new QPushButton(QStringLiteral("Удалить..."), this);
    m_delete->setObjectName("delete");
    m_undo = new QPushButton(QStringLiteral("Отменить"), this);
    m_undo->setObjectName("undo");
    m_changes = new QPushButton(QStringLiteral("Изменения..."), this);
    m_changes->setObjectName("changes");
    m_changes->setToolTip(QStringLiteral("Изменения и удаления выбранного звонка, а если звонок "
                                         "не выбран, всех звонков"));
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName("close");
    m_state = new QLabel(this);
    m_state->setObjectName("state");
    m_state->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    auto* bottom = new QHBoxLayout;
    for (QPushButton* button : {m_edit, m_delete, m_undo, m_changes})
        bottom->addWidget(button);
    bottom->addWidget(m_state, 1);
    bottom->addWidget(close);

    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());
    layout->insertWidget(0, m_today);
    m_waiting = new QLabel(this);
    m_waiting->setObjectName("waiting");
    m_waiting->setVisible(false);
    layout->insertWidget(1, m_waiting);
    layout->addWidget(m_table, 1);
    m_ownerRights = m_env->ownerRights();
    if (!m_ownerRights) {
        auto* note = new QLabel(QStringLiteral("Только владелец может изменять звонки и удалять "
                                               "их, кроме последнего звонка своего пульта"),
                                this);
        note->setObjectName("ownerOnly");
        layout->addWidget(note);
    }
    layout->addLayout(bottom);

    auto* undoAction = new QAction(this);
    undoAction->setObjectName("undoAction");
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setShortcutContext(Qt::WindowShortcut);
    addAction(undoAction);
    auto* deleteAction = new QAction(this);
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(deleteAction);

    connect(m_edit, &QPushButton::clicked, this, &JournalWindow::editSelected);
    connect(m_delete, &QPushButton::clicked, this, &JournalWindow::deleteSelected);
    connect(deleteAction, &QAction::triggered, this, &JournalWindow::deleteSelected);
    connect(m_undo, &QPushButton::clicked, this, &JournalWindow::undo);
    connect(undoAction, &QAction::triggered, this, &JournalWindow::undo);
    connect(m_changes, &QPushButton::clicked, this, &JournalWindow::showChanges);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_table, &QTableView::doubleClicked, this, &JournalWindow::editSelected);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &JournalWindow::updateButtons);
    connect(m_model, &JournalModel::failed, this, &JournalWindow::setState);
    // After the store's operation has ended, its undo history included.
    connect(&m_env->calls(), &CallStore::changed, this, &JournalWindow::refresh,
            Qt::QueuedConnection);
    connect(&m_env->connection(), &DataConnection::callsChanged, this, &JournalWindow::refresh);

    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize room =
        screen ? screen->availableGeometry().size() - QSize(16, 40) : QSize(1100, 680);
    resize(QSize(1100, 680).boundedTo(room));
    m_preset->setCurrentIndex(0);
    applyFilter();
}

void JournalWindow::buildFilters()
{
    m_preset = filterBox(this, "preset");
    m_preset->addItems(JournalPeriod::captions());
    m_from = new QDateEdit(Clock::today(), this);
    m_to = new QDateEdit(Clock::today(), this);
    m_from->setObjectName("from");
    m_to->setObjectName("to");
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    }
    m_service = filterBox(this, "service");
    m_source = filterBox(this, "source");
    fillNames(m_service, QStringLiteral("Uslugi"), QStringLiteral("Uname"));
    fillNames(m_source, QStringLiteral("Istochnik"), QStringLiteral("IName"));
    m_booked = filterBox(this, "booked");
    m_booked->setMinimumContentsLength(4);
    m_booked->addItems({QStringLiteral("Все"), QStringLiteral("Да"), QStringLiteral("Нет")});
    m_desk = filterBox(this, "desk");
    m_desk->addItem(QStringLiteral("Все"));
    const bool server = m_env->connection().dialect().isServer();
    if (server)
        m_desk->addItems(m_env->journal().desks());
    m_search = new QLineEdit(this);
    m_search->setObjectName("search");
    m_search->setPlaceholderText(QStringLiteral("часть названия услуги или источника"));
    m_search->setClearButtonEnabled(true);
    m_searchDelay = new QTimer(this);
    m_searchDelay->setObjectName("searchDelay");
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(300);

    auto* period = new QHBoxLayout;
    period->addWidget(new QLabel(QStringLiteral("Период:"), this));
    period->addWidget(m_preset);
    period->addWidget(new QLabel(QStringLiteral("с"), this));
    period->addWidget(m_from);
    period->addWidget(new QLabel(QStringLiteral("по"), this));
    period->addWidget(m_to);
    period->addSpacing(12);
    period->addWidget(new QLabel(QStringLiteral("Поиск:"), this));
    period->addWidget(m_search, 1);
    auto* names = new QHBoxLayout;
    names->addWidget(new QLabel(QStringLiteral("Услуга:"), this));
    names->addWidget(m_service);
    names->addWidget(new QLabel(QStringLiteral("Источник:"), this));
    names->addWidget(m_source);
    names->addWidget(new QLabel(QStringLiteral("Запись:"), this));
    names->addWidget(m_booked);
    auto* deskLabel = new QLabel(QStringLiteral("Пульт:"), this);
    names->addWidget(deskLabel);
    names->addWidget(m_desk);
    deskLabel->setVisible(server);
    m_desk->setVisible(server);
    names->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(period);
    layout->addLayout(names);

    connect(m_preset, &QComboBox::currentIndexChanged, this, &JournalWindow::choosePreset);
    for (QDateEdit* edit : {m_from, m_to})
        connect(edit, &QDateEdit::dateChanged, this, [this] {
            if (m_settingDates)
                return;
            // Dates set by hand: the preset becomes any dates.
            m_settingDates = true;
            m_preset->setCurrentIndex(int(JournalPeriod::captions().size()) - 1);
            m_settingDates = false;
            applyFilter();
        });
    for (QComboBox* box : {m_service, m_source, m_booked, m_desk})
        connect(box, &QComboBox::currentIndexChanged, this, &JournalWindow::applyFilter);
    connect(m_search, &QLineEdit::textChanged, m_searchDelay, qOverload<>(&QTimer::start));
    connect(m_searchDelay, &QTimer::timeout, this, &JournalWindow::applyFilter);
}

void JournalWindow::fillNames(QComboBox* box, const QString& command, const QString& column)
{
    RowSet* rows = m_env->bind(command);
    auto fill = [box, rows, column] {
        const QString chosen = box->currentIndex() > 0 ? box->currentText() : QString();
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItem(QStringLiteral("Все"));
        for (int i = 0; rows->isOpen() && i < rows->rowCount(); ++i)
            box->addItem(rows->value(i, column).toString());
        box->setCurrentIndex(qMax(0, box->findText(chosen)));
    };
    fill();
    // A list changed in the settings or at another desk: the choice is kept where it can be.
    connect(rows, &QAbstractItemModel::modelReset, box, fill);
    connect(rows, &QAbstractItemModel::rowsInserted, box, fill);
    connect(rows, &QAbstractItemModel::rowsRemoved, box, fill);
}

JournalWindow* JournalWindow::showWindow(DataEnv* env, QWidget* parent)
{
    QPointer<JournalWindow>& window = openWindow();
    if (!window) {
        window = new JournalWindow(env, parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

void JournalWindow::choosePreset(int index)
{
    const bool dated = !JournalPeriod::isAllCalls(index);
    m_from->setEnabled(dated);
    m_to->setEnabled(dated);
    if (m_settingDates)
        return;
    const QPair<QDate, QDate> dates = JournalPeriod::dates(index, Clock::today());
    if (dates.first.isValid()) {
        m_settingDates = true;
        m_from->setDate(dates.first);
        m_to->setDate(dates.second);
        m_settingDates = false;
    }
    applyFilter();
}

void JournalWindow::applyFilter()
{
    CallFilter filter;
    if (!JournalPeriod::isAllCalls(m_preset->currentIndex())) {
        filter.from = m_from->date();
        filter.to = m_to->date();
    }
    if (m_service->currentIndex() > 0)
        filter.service = m_service->currentText();
    if (m_source->currentIndex() > 0)
        filter.source = m_source->currentText();
    if (m_booked->currentIndex() > 0)
        filter.booked = m_booked->currentIndex() == 1;
    if (m_desk->currentIndex() > 0)
        filter.desk = m_desk->currentText();
    filter.search = m_search->text().trimmed();
    showState(m_model->setFilter(filter));
    m_table->scrollToTop();
}

void JournalWindow::refresh()
{
    QList<qint64> chosen;
    for (const CallRecord& record : selected())
        chosen << record.id;
    const bool read = m_model->reload();
    for (const qint64 id : chosen)
        if (const int row = m_model->rowOf(id); row >= 0)
            m_table->selectionModel()->select(
                m_model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    showState(read);
}

void JournalWindow::showState(bool read)
{
    const auto today = m_env->journal().dayCount(Clock::today());
    m_today->setText(today ? JournalText::today(today->first, today->second)
                           : m_env->journal().errorText());
    const int waiting = CallRegister(m_env).waitingCount();
    m_waiting->setText(waiting > 0 ? CallRegister::waitingText(waiting) : QString());
    m_waiting->setVisible(waiting > 0);
    if (read)
        setState(m_model->rowCount() == 0 ? QStringLiteral("Звонков нет.") : QString());
    else
        setState(m_model->errorText());
    updateButtons();
}

QVector<CallRecord> JournalWindow::selected() const
{
    // In the order shown, newest first.
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QVector<CallRecord> records;
    for (const int row : rows)
        records << m_model->record(row);
    return records;
}

void JournalWindow::updateButtons()
{
    const int count = int(m_table->selectionModel()->selectedRows().size());
    m_edit->setEnabled(count == 1 && m_ownerRights);
    m_delete->setEnabled(count > 0 &&
                         (m_ownerRights || m_env->journal().operatorMayRemove(selected())));
    const CallStore& store = m_env->calls();
    m_undo->setEnabled(store.canUndo() && (m_ownerRights || !store.undoRestores()));
    m_undo->setText(store.canUndo() ? store.undoText() : QStringLiteral("Отменить"));
    m_undo->setToolTip(QStringLiteral("Ctrl+Z"));
}

void JournalWindow::setState(const QString& text)
{
    m_state->setText(text);
}

void JournalWindow::editSelected()
{
    const QVector<CallRecord> records = selected();
    if (records.size() != 1 || !m_edit->isEnabled())
        return;
    const CallRecord& record = records.first();
    CallEditDialog dialog(record, CallEdit::fromLists(m_env), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (JournalText::differences(record.call, dialog.changed()).isEmpty())
        return;
    if (Dialogs::show(this, {QMessageBox::Question, QStringLiteral("Изменение звонка"),
                             JournalText::editQuestion(record.call, dialog.changed()),
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok}) !=
        QMessageBox::Ok)
        return;
    if (CallRegister::isKept(record)) {
        CallRegister calls(m_env);
        if (!calls.editKept(record.id, dialog.changed()))
            Dialogs::critical(this, QStringLiteral("Изменение звонка"),
                              QStringLiteral("Звонок не изменён.\n%1").arg(calls.errorText()));
        else
            setState(QStringLiteral("Звонок изменён"));
        refresh();
        return;
    }
    if (!m_env->calls().edit(record.id, dialog.changed()))
        Dialogs::critical(this, QStringLiteral("Изменение звонка"),
                          QStringLiteral("Звонок не изменён.\n%1").arg(m_env->calls().errorText()));
    else
        setState(QStringLiteral("Звонок изменён"));
}

void JournalWindow::deleteSelected()
{
    const QVector<CallRecord> records = selected();
    if (records.isEmpty() || !m_delete->isEnabled())
        return;
    if (Dialogs::show(this, {QMessageBox::Question, QStringLiteral("Удаление"),
                             JournalText::deleteQuestion(records),
                             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel}) !=
        QMessageBox::Ok)
        return;
    QVector<qint64> ids;
    QVector<qint64> keptIds;
    for (const CallRecord& record : records)
        (CallRegister::isKept(record) ? keptIds : ids) << record.id;
    CallRegister calls(m_env);
    if (!keptIds.isEmpty() && !calls.removeKept(keptIds)) {
        Dialogs::critical(this, QStringLiteral("Удаление"),
                          QStringLiteral("Звонки не удалены.\n%1").arg(calls.errorText()));
        refresh();
        return;
    }
    if (ids.isEmpty()) {
        refresh();
        setState(QStringLiteral("Удалено: %1").arg(JournalText::calls(keptIds.size())));
        return;
    }
    if (!m_env->calls().remove(ids))
        Dialogs::critical(this, QStringLiteral("Удаление"),
                          QStringLiteral("Звонки не удалены.\n%1").arg(m_env->calls().errorText()));
    else
        setState(
            QStringLiteral("Удалено: %1").arg(JournalText::calls(ids.size() + keptIds.size())));
}

void JournalWindow::undo()
{
    CallStore& store = m_env->calls();
    if (!store.canUndo() || (!m_ownerRights && store.undoRestores()))
        return;
    const QString step = store.undoText();
    if (!store.undo()) {
        Dialogs::critical(this, QStringLiteral("Отмена"),
                          QStringLiteral("«%1» не выполнено.\n%2").arg(step, store.errorText()));
        updateButtons();
        return;
    }
    setState(QStringLiteral("Выполнено: %1").arg(step));
}

void JournalWindow::showChanges()
{
    const QVector<CallRecord> records = selected();
    const qint64 id = records.size() == 1 ? records.first().id : 0;
    auto* dialog = new ChangeLogDialog(
        m_env->journal(), id, id ? JournalText::call(records.first().call) : QString(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

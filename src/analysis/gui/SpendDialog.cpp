#include "SpendDialog.h"

#include "DataEnv.h"
#include "Dialogs.h"
#include "ListStore.h"
#include "Money.h"
#include "SpendStore.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

SpendDialog::SpendDialog(DataEnv* env, const QDate& month, QWidget* parent)
    : QDialog(parent), m_env(env ? env : DataEnv::instance())
{
    setObjectName("SpendDialog");
    setWindowTitle(QStringLiteral("Расходы на рекламу"));
    m_month = new QDateEdit(QDate(month.year(), month.month(), 1), this);
    m_month->setObjectName("month");
    m_month->setDisplayFormat("MM.yyyy");
    m_month->setCalendarPopup(true);
    m_table = new QTableWidget(0, 2, this);
    m_table->setObjectName("amounts");
    m_table->setHorizontalHeaderLabels(
        {QStringLiteral("Источник"), QStringLiteral("Расход за месяц, руб.")});
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->verticalHeader()->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* copy = new QPushButton(QStringLiteral("Как в прошлом месяце"), this);
    copy->setObjectName("copyPrevious");
    copy->setToolTip(QStringLiteral("Вписать суммы прошлого месяца; сохраняются кнопкой "
                                    "«Сохранить»"));
    connect(copy, &QPushButton::clicked, this, &SpendDialog::copyPreviousMonth);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Месяц:"), this));
    top->addWidget(m_month);
    top->addStretch();
    top->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table);
    layout->addWidget(new QLabel(QStringLiteral("Сумма в рублях, например 15 000,50; пустая "
                                                "строка — расхода нет."),
                                 this));
    if (!m_env->ownerRights()) {
        // An operator reads the amounts; the owner keeps them.
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        copy->setEnabled(false);
        buttons->button(QDialogButtonBox::Save)->setEnabled(false);
        auto* note = new QLabel(QStringLiteral("Только владелец может изменять расходы"), this);
        note->setObjectName("ownerOnly");
        layout->addWidget(note);
    }
    layout->addWidget(buttons);
    resize(460, 480);
    connect(m_month, &QDateEdit::dateChanged, this, &SpendDialog::changeMonth);
    connect(&m_env->lists(), &ListStore::listChanged, this, [this](const QString& list) {
        if (list == QStringLiteral("Istochnik"))
            followSources();
    });
    load();
}

void SpendDialog::followSources()
{
    // The amounts typed and not stored, and the cell the operator is in, stay.
    const QTableWidgetItem* current = m_table->currentItem();
    const QString currentSource = current ? m_table->item(current->row(), 0)->text() : QString();
    const int currentColumn = current ? current->column() : -1;
    m_table->setCurrentIndex(QModelIndex()); // commits an amount being typed
    QHash<QString, QString> typed;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* item = m_table->item(row, 1);
        const QString text = item ? item->text() : QString();
        if (text.trimmed() != m_stored.value(row).trimmed())
            typed.insert(m_table->item(row, 0)->text(), text);
    }
    load();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString source = m_table->item(row, 0)->text();
        if (const auto found = typed.constFind(source); found != typed.constEnd())
            m_table->item(row, 1)->setText(*found);
        if (source == currentSource)
            m_table->setCurrentCell(row, currentColumn);
    }
}

void SpendDialog::load()
{
    m_loaded = QDate(m_month->date().year(), m_month->date().month(), 1);
    QList<SpendStore::Entry> amounts;
    SpendStore store(m_env);
    if (!store.listMonth(m_loaded, &amounts))
        Dialogs::plain(this, store.errorText());
    m_table->setRowCount(0);
    m_stored.clear();
    for (const SpendStore::Entry& amount : std::as_const(amounts)) {
        const int at = m_table->rowCount();
        m_table->insertRow(at);
        auto* name = new QTableWidgetItem(amount.source);
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        m_table->setItem(at, 0, name);
        auto* text =
            new QTableWidgetItem(amount.kopecks < 0 ? QString() : Money::display(amount.kopecks));
        text->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(at, 1, text);
        m_stored << text->text();
    }
}

bool SpendDialog::isModified() const
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QTableWidgetItem* item = m_table->item(row, 1);
        if ((item ? item->text().trimmed() : QString()) != m_stored.value(row).trimmed())
            return true;
    }
    return false;
}

bool SpendDialog::settleChanges()
{
    // An amount still being typed counts too: leaving the cell commits it.
    m_table->setCurrentIndex(QModelIndex());
    if (!isModified())
        return true;
    const QMessageBox::StandardButton answer = Dialogs::show(
        this, {QMessageBox::Question, windowTitle(),
               QStringLiteral("Суммы за %1 изменены и не сохранены. Сохранить их?")
                   .arg(m_loaded.toString("MM.yyyy")),
               QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save});
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

void SpendDialog::changeMonth()
{
    if (m_revertingMonth)
        return;
    const QDate month(m_month->date().year(), m_month->date().month(), 1);
    if (month == m_loaded)
        return;
    if (!settleChanges()) {
        m_revertingMonth = true;
        m_month->setDate(m_loaded);
        m_revertingMonth = false;
        return;
    }
    load();
}

void SpendDialog::reject()
{
    if (settleChanges())
        QDialog::reject();
}

void SpendDialog::copyPreviousMonth()
{
    const QDate previous = m_loaded.addMonths(-1);
    QList<SpendStore::Entry> amounts;
    SpendStore store(m_env);
    if (!store.listMonth(previous, &amounts)) {
        Dialogs::plain(this, store.errorText());
        return;
    }
    QHash<QString, qint64> byName;
    for (const SpendStore::Entry& amount : std::as_const(amounts))
        if (amount.kopecks >= 0)
            byName.insert(amount.source, amount.kopecks);
    if (byName.isEmpty()) {
        Dialogs::plain(this, QStringLiteral("За %1 расходы не внесены: переносить нечего.")
                                 .arg(previous.toString("MM.yyyy")));
        return;
    }
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto found = byName.constFind(m_table->item(row, 0)->text());
        if (found != byName.constEnd() && m_table->item(row, 1))
            m_table->item(row, 1)->setText(Money::display(*found));
    }
}

bool SpendDialog::save()
{
    QList<SpendStore::Entry> changes;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString source = m_table->item(row, 0)->text();
        const QString text =
            m_table->item(row, 1) ? m_table->item(row, 1)->text().trimmed() : QString();
        if (text.isEmpty()) {
            changes << SpendStore::Entry{source, m_loaded, -1};
            continue;
        }
        const Outcome<qint64> kopecks = Money::parse(text);
        if (!kopecks) {
            Dialogs::plain(
                this,
                QStringLiteral("%1: %2\nНичего не сохранено.").arg(source, kopecks.errorText()));
            m_table->setCurrentCell(row, 1);
            return false;
        }
        changes << SpendStore::Entry{source, m_loaded, kopecks.value()};
    }
    SpendStore store(m_env);
    if (!store.apply(changes)) {
        Dialogs::plain(this, store.errorText());
        return false;
    }
    load();
    return true;
}

#include "CallEditDialog.h"

#include "Dialogs.h"
#include "JournalText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

// The list's names, and the call's own name where the list no longer holds it, so that the
// field shows what is stored (storing it is then refused).
QComboBox* namesBox(QWidget* parent, const char* name, const QStringList& list,
                    const QString& current)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(list);
    QString shown = CallEdit::listed(list, current);
    if (shown.isEmpty() && !current.isEmpty()) {
        box->addItem(current);
        shown = current;
    }
    box->setCurrentIndex(box->findText(shown));
    return box;
}

} // namespace

CallEditDialog::CallEditDialog(const CallRecord& record, CallEdit edit, QWidget* parent)
    : QDialog(parent), m_record(record), m_edit(std::move(edit)), m_changed(record.call)
{
    setObjectName("CallEditDialog");
    setWindowTitle(QStringLiteral("Изменение звонка"));
    m_date = new QDateEdit(record.call.date, this);
    m_date->setObjectName("date");
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    m_time = new QTimeEdit(record.call.time.isValid() ? record.call.time : QTime(0, 0), this);
    m_time->setObjectName("time");
    m_time->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    connect(m_time, &QTimeEdit::timeChanged, this, [this] { m_timeTouched = true; });
    m_service = namesBox(this, "service", m_edit.services(), record.call.service);
    m_source = namesBox(this, "source", m_edit.sources(), record.call.source);
    m_booked = new QCheckBox(QStringLiteral("Запись на услугу"), this);
    m_booked->setObjectName("booked");
    m_booked->setChecked(record.call.booked);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Дата"), m_date);
    form->addRow(QStringLiteral("Время"), m_time);
    form->addRow(QStringLiteral("Услуга"), m_service);
    form->addRow(QStringLiteral("Источник рекламы"), m_source);
    form->addRow(QString(), m_booked);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CallEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(JournalText::call(record.call), this);
    title->setObjectName("callName");
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

void CallEditDialog::accept()
{
    Call call;
    call.date = m_date->date();
    call.time = m_record.call.time.isValid() || m_timeTouched ? m_time->time() : QTime();
    call.service = m_service->currentText();
    call.source = m_source->currentText();
    call.booked = m_booked->isChecked();
    if (!m_edit.check(call)) {
        Dialogs::critical(this, QStringLiteral("Изменение звонка"), m_edit.errorText());
        return;
    }
    m_changed = call;
    QDialog::accept();
}

#include "SettingsEditor.h"

#include "MailingSettings.h"
#include "NextDateMessage.h"
#include "Period.h"
#include "SettingsStore.h"

namespace {
Dialogs::Message refusal(const QString& text)
{
    return {QMessageBox::Critical, QStringLiteral("Внимание!"), text, QMessageBox::Ok,
            QMessageBox::Ok};
}
} // namespace

SettingsEditor::Fields SettingsEditor::load(const SettingsStore& store, const QTime& now)
{
    const MailingSettings stored = MailingSettings::read(store);
    Fields fields;
    fields.days = stored.days();
    fields.time = stored.time().isValid() ? stored.time() : now;
    fields.tems = stored.tems();
    fields.senders = stored.senders();
    fields.nextDate = stored.nextDate();
    return fields;
}

SettingsEditor::Outcome SettingsEditor::confirm(SettingsStore& store, const Fields& fields,
                                                const QDate& today)
{
    Outcome outcome;
    // A period of 0 would mail the reports at every tick of the day.
    const QDateTime next = MailingSettings::isUsablePeriod(fields.days)
                               ? Period::after(today, *Period::parse(fields.days))
                               : QDateTime();
    if (!next.isValid()) {
        outcome.message =
            refusal(QStringLiteral("Период отправки указан неверно: введите число дней, например 7 "
                                   "или 1,5. Настройки не сохранены."));
        return outcome;
    }

    MailingSettings settings;
    settings.setDays(fields.days);
    settings.setTime(fields.time);
    settings.setTems(fields.tems);
    settings.setSenders(fields.senders);
    settings.setNextDate(next);
    if (!settings.write(store)) {
        outcome.message = refusal(
            QStringLiteral("Настройки не сохранены: хранилище настроек недоступно для записи.\n") +
            store.errorText());
        return outcome;
    }

    outcome.saved = true;
    outcome.nextDate = next;
    outcome.message = {QMessageBox::Information, NextDateMessage::title(),
                       NextDateMessage::text(next, fields.days), QMessageBox::Ok, QMessageBox::Ok};
    return outcome;
}

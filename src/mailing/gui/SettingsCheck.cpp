#include "SettingsCheck.h"

#include "MailingSettings.h"
#include "SettingsStore.h"

Dialogs::Message SettingsCheck::message()
{
    return {QMessageBox::Critical, QStringLiteral("Внимание!"),
            QStringLiteral("Проверьте наличие всех настроек"), QMessageBox::Ok, QMessageBox::Ok};
}

int SettingsCheck::run(const SettingsStore& store, QWidget* parent,
                       const ShowSettings& showSettings)
{
    int rounds = 0;
    // An unreadable value counts as a missing one: the schedule could not work with it.
    while (!MailingSettings::read(store).unusableKeys().isEmpty()) {
        ++rounds;
        Dialogs::show(parent, message());
        showSettings();
    }
    return rounds;
}

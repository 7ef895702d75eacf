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
    while (!MailingSettings::read(store).isComplete()) {
        ++rounds;
        Dialogs::show(parent, message());
        showSettings();
    }
    return rounds;
}

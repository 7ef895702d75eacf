#include "SettingsStore.h"

#include "SafeSettings.h"

#include <QSettings>
#include <QStringList>

namespace {
QSettings open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(SettingsStore::application));
}

QString valueText(const QVariant& value)
{
    // A hand-edited value with unquoted commas comes back as a list: keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

} // namespace

QString SettingsStore::read(const QString& key) const
{
    QSettings settings = open();
    settings.beginGroup(QString::fromLatin1(section));
    return valueText(settings.value(key));
}

bool SettingsStore::write(const QString& key, const QString& value)
{
    const Outcome<void> stored =
        SafeSettings::setValue(location(), QString::fromLatin1(section) + '/' + key, value,
                               QStringLiteral("Не удалось сохранить настройки рассылки в файл"));
    m_error = stored.errorText();
    return stored.ok();
}

QString SettingsStore::location()
{
    return open().fileName();
}

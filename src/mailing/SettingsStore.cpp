#include "SettingsStore.h"

#include <QSettings>
#include <QStringList>

namespace {
QSettings open()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(SettingsStore::application));
}

QSettings::Status store(const QString& key, const QString& value)
{
    QSettings settings = open();
    settings.beginGroup(QString::fromLatin1(SettingsStore::section));
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status();
}
} // namespace

QString SettingsStore::read(const QString& key) const
{
    QSettings settings = open();
    settings.beginGroup(QString::fromLatin1(section));
    const QVariant value = settings.value(key);
    // A hand-edited value with unquoted commas comes back as a list: keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

bool SettingsStore::write(const QString& key, const QString& value)
{
    QSettings::Status status = store(key, value);
    // A file with lines the store cannot read reports a format error, though the write went
    // through (dropping those lines); only writing again tells whether the value is stored.
    if (status == QSettings::FormatError)
        status = store(key, value);
    return status == QSettings::NoError;
}

QString SettingsStore::location()
{
    return open().fileName();
}

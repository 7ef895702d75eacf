#include "MailingSettings.h"

#include "Period.h"
#include "SettingsStore.h"

namespace {
const QString timeForm = QStringLiteral("HH:mm:ss");
const QString dateForm = QStringLiteral("yyyy-MM-dd");
const QString momentForm = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");
} // namespace

QStringList MailingSettings::keys()
{
    return {QString::fromLatin1(daysKey), QString::fromLatin1(timesKey),
            QString::fromLatin1(temsKey), QString::fromLatin1(sendersKey),
            QString::fromLatin1(nextdateKey)};
}

MailingSettings MailingSettings::read(const SettingsStore& store)
{
    MailingSettings settings;
    for (const QString& key : keys())
        settings.setText(key, store.read(key));
    settings.m_analysis = isOptionOn(store, analysisKey);
    settings.m_digest = isOptionOn(store, digestKey);
    return settings;
}

bool MailingSettings::isOptionOn(const SettingsStore& store, const char* key)
{
    return store.read(QString::fromLatin1(key)).trimmed() == QStringLiteral("1");
}

bool MailingSettings::setOption(SettingsStore& store, const char* key, bool on)
{
    return store.write(QString::fromLatin1(key), on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool MailingSettings::write(SettingsStore& store) const
{
    for (const QString& key : keys())
        if (!store.write(key, text(key)))
            return false;
    return true;
}

bool MailingSettings::isComplete() const
{
    for (const QString& key : keys())
        if (text(key).isEmpty())
            return false;
    return true;
}

QString MailingSettings::text(const QString& key) const
{
    if (key == QLatin1String(daysKey))
        return m_days;
    if (key == QLatin1String(timesKey))
        return m_times;
    if (key == QLatin1String(temsKey))
        return m_tems;
    if (key == QLatin1String(sendersKey))
        return m_senders;
    if (key == QLatin1String(nextdateKey))
        return m_nextdate;
    return {};
}

void MailingSettings::setText(const QString& key, const QString& text)
{
    if (key == QLatin1String(daysKey))
        m_days = text;
    else if (key == QLatin1String(timesKey))
        m_times = text;
    else if (key == QLatin1String(temsKey))
        m_tems = text;
    else if (key == QLatin1String(sendersKey))
        m_senders = text;
    else if (key == QLatin1String(nextdateKey))
        m_nextdate = text;
}

QStringList MailingSettings::unusableKeys() const
{
    QStringList keys;
    if (!isUsablePeriod(m_days))
        keys << daysKey;
    if (!time().isValid())
        keys << timesKey;
    if (m_tems.isEmpty())
        keys << temsKey;
    if (m_senders.isEmpty())
        keys << sendersKey;
    if (!nextDate().isValid())
        keys << nextdateKey;
    return keys;
}

bool MailingSettings::isUsablePeriod(const QString& days)
{
    const std::optional<double> period = Period::parse(days);
    return period && *period > 0 && Period::after(QDate(2000, 1, 1), *period).isValid();
}

std::optional<double> MailingSettings::period() const
{
    return Period::parse(m_days);
}

QTime MailingSettings::time() const
{
    return parseTime(m_times);
}

QDateTime MailingSettings::nextDate() const
{
    return parseNextDate(m_nextdate);
}

QString MailingSettings::timeText(const QTime& time)
{
    return time.isValid() ? time.toString(timeForm) : QString();
}

QTime MailingSettings::parseTime(const QString& text)
{
    const QString trimmed = text.trimmed();
    QTime time = QTime::fromString(trimmed, timeForm);
    if (!time.isValid())
        time = QTime::fromString(trimmed, QStringLiteral("HH:mm"));
    return time;
}

QString MailingSettings::nextDateText(const QDateTime& moment)
{
    if (!moment.isValid())
        return {};
    return moment.toString(moment.time() == QTime(0, 0) ? dateForm : momentForm);
}

QDateTime MailingSettings::parseNextDate(const QString& text)
{
    const QString trimmed = text.trimmed();
    const QDate date = QDate::fromString(trimmed, dateForm);
    if (date.isValid())
        return QDateTime(date, QTime(0, 0));
    return QDateTime::fromString(trimmed, momentForm);
}

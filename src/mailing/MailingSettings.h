#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <optional>

class SettingsStore;

// The five mailing settings as stored texts, with typed readings of them, and the two on/off
// options of what the mail carries. Times and dates are
// stored in machine forms that do not depend on the user's locale: "HH:mm:ss" and
// "yyyy-MM-dd", the latter followed by "THH:mm:ss" when the date carries a time of day.
class MailingSettings
{
public:
    static constexpr const char* daysKey = "days";
    static constexpr const char* timesKey = "times";
    static constexpr const char* temsKey = "tems";
    static constexpr const char* sendersKey = "senders";
    static constexpr const char* nextdateKey = "nextdate";
    // The keys in the order they are read and written.
    static QStringList keys();
    // The options, stored as "1" (on) or "0" (off) and off unless switched on: the advertising
    // analysis over the mailing period as a fifth file, and the summary in the mail's text.
    static constexpr const char* analysisKey = "analiz";
    static constexpr const char* digestKey = "svodka";
    // Stores one option; false when the store could not be written.
    static bool setOption(SettingsStore& store, const char* key, bool on);
    static bool isOptionOn(const SettingsStore& store, const char* key);

    // Reads the five keys in order, and the options.
    static MailingSettings read(const SettingsStore& store);
    // Writes the five keys in order; false as soon as one could not be stored.
    bool write(SettingsStore& store) const;

    // True when none of the five texts is empty (blanks count as a value).
    bool isComplete() const;
    // The keys whose value is missing or cannot be read (a period, time or date that is no
    // period, time or date); empty when the schedule can work with the stored values.
    QStringList unusableKeys() const;

    QString text(const QString& key) const;
    void setText(const QString& key, const QString& text);

    QString days() const { return m_days; }
    QString times() const { return m_times; }
    QString tems() const { return m_tems; }
    QString senders() const { return m_senders; }
    QString nextdate() const { return m_nextdate; }
    bool attachesAnalysis() const { return m_analysis; }
    bool carriesDigest() const { return m_digest; }

    void setDays(const QString& text) { m_days = text; }
    void setTime(const QTime& time) { m_times = timeText(time); }
    void setTems(const QString& text) { m_tems = text; }
    void setSenders(const QString& text) { m_senders = text; }
    void setNextDate(const QDateTime& moment) { m_nextdate = nextDateText(moment); }
    void setAttachesAnalysis(bool on) { m_analysis = on; }
    void setCarriesDigest(bool on) { m_digest = on; }

    // A period the schedule can work with: a number of days above 0 that gives a next date.
    static bool isUsablePeriod(const QString& days);
    // The period in days; nothing when `days` is empty or no number.
    std::optional<double> period() const;
    // Invalid when `times` is empty or unreadable.
    QTime time() const;
    // Invalid when `nextdate` is empty or unreadable; midnight when it carries no time of day.
    QDateTime nextDate() const;

    // The stored forms and their readers.
    static QString timeText(const QTime& time);
    static QTime parseTime(const QString& text);
    static QString nextDateText(const QDateTime& moment);
    static QDateTime parseNextDate(const QString& text);

private:
    QString m_days;
    QString m_times;
    QString m_tems;
    QString m_senders;
    QString m_nextdate;
    bool m_analysis = false;
    bool m_digest = false;
};

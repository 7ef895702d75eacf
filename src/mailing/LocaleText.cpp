#include "LocaleText.h"

namespace {
// Applies `edit` to every run of one pattern letter outside quoted literal text.
template <typename Edit> QString editRuns(const QString& format, Edit edit)
{
    QString result;
    bool quoted = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result += c;
            ++i;
            continue;
        }
        int end = i + 1;
        if (!quoted && c.isLetter()) {
            while (end < format.size() && format.at(end) == c)
                ++end;
            result += edit(format.mid(i, end - i));
        } else {
            result += c;
        }
        i = end;
    }
    return result;
}
} // namespace

QString LocaleText::dateFormat(const QLocale& locale)
{
    return editRuns(locale.dateFormat(QLocale::ShortFormat), [](const QString& run) {
        return run.startsWith(QLatin1Char('y')) ? QStringLiteral("yyyy") : run;
    });
}

QString LocaleText::timeFormat(const QLocale& locale)
{
    // The long form carries the seconds, and also the time zone, which is dropped.
    const QString format = editRuns(locale.timeFormat(QLocale::LongFormat), [](const QString& run) {
        return run.startsWith(QLatin1Char('t')) ? QString() : run;
    });
    return format.trimmed();
}

QString LocaleText::date(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, dateFormat(locale));
}

QString LocaleText::time(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, timeFormat(locale));
}

QString LocaleText::moment(const QDateTime& moment, const QLocale& locale)
{
    if (moment.time() == QTime(0, 0))
        return date(moment.date(), locale);
    // Whole minutes, the usual case, are shown without seconds.
    const QString clock = moment.time().second() == 0
                              ? locale.toString(moment.time(), QLocale::ShortFormat)
                              : time(moment.time(), locale);
    return date(moment.date(), locale) + QLatin1Char(' ') + clock;
}

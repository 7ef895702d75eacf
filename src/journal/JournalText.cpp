#include "JournalText.h"

#include "ReportText.h"
#include "RussianCount.h"

#include <QStringList>

QString JournalText::count(qint64 n, const QString& one, const QString& few, const QString& many)
{
    return RussianCount::of(n, one, few, many);
}

QString JournalText::calls(qint64 n)
{
    return RussianCount::calls(n);
}

QString JournalText::date(const QDate& date)
{
    return ReportText::date(date);
}

QString JournalText::time(const QTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("HH:mm:ss")) : QString();
}

QString JournalText::booked(bool booked)
{
    return booked ? QStringLiteral("Да") : QStringLiteral("Нет");
}

QString JournalText::call(const Call& call)
{
    QStringList parts{date(call.date)};
    if (call.time.isValid())
        parts.last() += ' ' + time(call.time);
    parts << call.service << call.source;
    return parts.join(QStringLiteral(", "));
}

QString JournalText::deleteQuestion(const QVector<CallRecord>& records, int shown)
{
    if (records.size() == 1)
        return QStringLiteral("Удалить звонок %1?").arg(call(records.first().call));
    QStringList lines{QStringLiteral("Удалить %1?").arg(calls(records.size())), QString()};
    for (qsizetype i = 0; i < records.size() && i < shown; ++i)
        lines << call(records.at(i).call);
    if (records.size() > shown)
        lines << QStringLiteral("и ещё %1").arg(calls(records.size() - shown));
    return lines.join('\n');
}

QStringList JournalText::differences(const Call& before, const Call& after)
{
    QStringList lines;
    auto compare = [&lines](const QString& field, const QString& was, const QString& now) {
        if (was != now)
            lines << QStringLiteral("%1: %2 → %3")
                         .arg(field, was.isEmpty() ? QStringLiteral("нет") : was,
                              now.isEmpty() ? QStringLiteral("нет") : now);
    };
    compare(QStringLiteral("Дата"), date(before.date), date(after.date));
    compare(QStringLiteral("Время"), time(before.time), time(after.time));
    compare(QStringLiteral("Услуга"), before.service, after.service);
    compare(QStringLiteral("Источник"), before.source, after.source);
    compare(QStringLiteral("Запись"), booked(before.booked), booked(after.booked));
    return lines;
}

QString JournalText::editQuestion(const Call& before, const Call& after)
{
    return QStringLiteral("Изменить звонок %1?\n\n%2")
        .arg(call(before), differences(before, after).join('\n'));
}

QString JournalText::today(int calls, int bookings)
{
    return QStringLiteral("Сегодня: %1, %2")
        .arg(JournalText::calls(calls), count(bookings, QStringLiteral("запись"),
                                              QStringLiteral("записи"), QStringLiteral("записей")));
}

QString JournalText::kind(CallChange::Kind kind)
{
    switch (kind) {
    case CallChange::Kind::Edited:
        return QStringLiteral("Изменён");
    case CallChange::Kind::Deleted:
        return QStringLiteral("Удалён");
    case CallChange::Kind::Restored:
        break;
    }
    return QStringLiteral("Восстановлен");
}

QString JournalText::moment(const QDateTime& utc)
{
    const QDateTime local = utc.toLocalTime();
    return date(local.date()) + ' ' + time(local.time());
}

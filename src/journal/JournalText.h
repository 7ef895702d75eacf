#pragma once

#include "CallChange.h"
#include "CallRecord.h"

#include <QString>
#include <QVector>

// What the journal, its dialogs and the command line say about calls: the cells of a call, the
// questions before a change, today's counts and the change log's lines.
class JournalText
{
public:
    // "5 звонков": `n` with the word in the form Russian gives the number (one, few, many).
    static QString count(qint64 n, const QString& one, const QString& few, const QString& many);
    static QString calls(qint64 n);

    static QString date(const QDate& date);
    // HH:mm:ss; empty for a call stored without a time.
    static QString time(const QTime& time);
    static QString booked(bool booked);
    // "05.12.2026 10:15:00, Стрижка, Интернет": what names a call to the operator.
    static QString call(const Call& call);

    // The confirmation before deleting calls: every call named, up to `shown` of them.
    static QString deleteQuestion(const QVector<CallRecord>& records, int shown = 10);
    // The confirmation before storing an edit: the call and what changes.
    static QString editQuestion(const Call& before, const Call& after);
    // "Услуга: Стрижка → Маникюр" a changed field, one a line; empty when nothing differs.
    static QStringList differences(const Call& before, const Call& after);

    // "Сегодня: 12 звонков, 3 записи".
    static QString today(int calls, int bookings);

    // "Изменён", "Удалён", "Восстановлен".
    static QString kind(CallChange::Kind kind);
    // The change's time, in the program's format (local time).
    static QString moment(const QDateTime& utc);
};

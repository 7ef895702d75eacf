#pragma once

#include <QDate>
#include <QtGlobal>

// Where a page of the journal ends: the date and key of its last (oldest) call. An invalid
// date starts at the newest call.
struct JournalKey
{
    QDate date;
    qint64 id = 0;

    bool isStart() const { return !date.isValid(); }
};

#pragma once

#include "CallRecord.h"

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// One entry of the change log: a call edited, deleted or put back, with its values before and
// after (a deleted call has no values after, a restored one none before).
struct CallChange
{
    enum class Kind
    {
        Edited,
        Deleted,
        Restored
    };

    qint64 id = 0;
    QDateTime when; // UTC
    QString desk;
    qint64 callId = 0;
    Kind kind = Kind::Edited;
    CallRecord before;
    CallRecord after;
};

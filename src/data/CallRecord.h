#pragma once

#include "Call.h"

#include <QString>
#include <QtGlobal>

// One stored call with its key, and on a server the desk that entered it (empty on a file).
struct CallRecord
{
    qint64 id = 0;
    Call call;
    QString desk;
};

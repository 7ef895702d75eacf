#pragma once

#include "Call.h"

#include <QString>
#include <QVariantList>

// Inserts calls in bulk inside an open transaction. Every call goes in with the keys of its service
// and source names, so the triggers leave its totals alone; finish() adds the totals of all the
// calls added.
class CallWriter
{
public:
    virtual ~CallWriter() = default;

    bool add(const Call& call) { return add(call.values()); }
    // A call's values as another database stores them, in Call::values() order (a copy).
    virtual bool add(const QVariantList& values) = 0;
    virtual bool finish() = 0;
    QString errorText() const { return m_error; }

protected:
    QString m_error;
};

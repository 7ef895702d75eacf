#pragma once

#include <QString>
#include <QVariantList>

// Inserts calls in bulk inside an open transaction. Every call (the AddNew values, in order)
// goes in with the keys of its service and source names, so the triggers leave its totals
// alone; finish() adds the totals of all the calls added.
class CallWriter
{
public:
    virtual ~CallWriter() = default;

    virtual bool add(const QVariantList& call) = 0;
    virtual bool finish() = 0;
    QString errorText() const { return m_error; }

protected:
    QString m_error;
};

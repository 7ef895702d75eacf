#pragma once

#include "Call.h"

#include <QString>
#include <QStringList>

class DataEnv;

// Checks a call the operator changed before it is stored: a date, and a service and a source
// that the lists hold (given as listed, or the same name but for blanks around it and letter
// case; the call then takes the listed spelling).
class CallEdit
{
public:
    CallEdit(QStringList services, QStringList sources);
    // The lists as the database holds them now; empty lists when they cannot be read.
    static CallEdit fromLists(DataEnv* env);

    // Fills in the listed names; false (and errorText()) when the call cannot be stored.
    bool check(Call& call);
    // The name listed in `list` for `name`, empty when none.
    static QString listed(const QStringList& list, const QString& name);

    const QStringList& services() const { return m_services; }
    const QStringList& sources() const { return m_sources; }
    QString errorText() const { return m_error; }

private:
    bool fail(const QString& error);

    QStringList m_services;
    QStringList m_sources;
    QString m_error;
};

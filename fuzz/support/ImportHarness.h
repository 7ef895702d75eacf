#pragma once

#include "DataEnv.h"

// The fuzz process's own call database, in its work folder, for the targets that import.
class ImportHarness
{
public:
    // The one instance, created and opened on first use (a QCoreApplication must exist).
    static ImportHarness& instance();

    DataEnv* env() { return &m_env; }
    // The calls stored now.
    int storedCalls();
    // The date and the time of day of the first stored call, as stored.
    QVariantList firstDateAndTime();
    void clear();

private:
    ImportHarness();

    DataEnv m_env;
};

#pragma once

#include "RegisterFigures.h"

#include <QString>

// Checks a copy without changing it (opened read-only): a Kalvent file of a layout this
// program reads, whole (integrity_check), whose totals agree with its calls, and whose
// figures (the counts, and every report over the whole span) are those of the source, when
// given.
class BackupVerifier
{
public:
    explicit BackupVerifier(const QString& path) : m_path(path) {}

    bool check(const RegisterFigures* source = nullptr);
    const RegisterFigures& figures() const { return m_figures; }
    int version() const { return m_version; }
    QString errorText() const { return m_error; }

private:
    bool checkOpen(QSqlDatabase& db);
    bool fail(const QString& reason);

    QString m_path;
    RegisterFigures m_figures;
    int m_version = 0;
    QString m_error;
};

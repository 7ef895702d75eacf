#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class DataEnv;

// The mailed set of reports: every report of the catalogue over the last `days` days as an
// HTML file in one folder, in catalogue order. Each file is replaced only by a complete new
// one; every report's row set is closed after its file.
class ReportBundle
{
public:
    explicit ReportBundle(DataEnv* env = nullptr) : m_env(env) {}

    static QStringList fileNames(); // the catalogue's, ReportKind::fileNames()
    static QStringList filePaths(const QString& dir);

    // daysText: the period as typed ("7", "1,5"). The folder is created when missing.
    bool write(const QString& daysText, const QDateTime& now, const QString& dir);

    // The file that failed and why, in words for the operator.
    QString errorText() const { return m_error; }

private:
    DataEnv* m_env;
    QString m_error;
};

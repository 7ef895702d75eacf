#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>
#include <climits>

// Parses "--name value" options, "--flag" switches and positional arguments of one command;
// not ok() on an unknown option, a missing value, or a number of positional arguments outside
// the command's range.
class CliOptions
{
public:
    // How many positional arguments a command takes, and what a wrong number is told.
    struct Positional
    {
        int fewest;
        int most;
        QString refusal;
    };
    static Positional any() { return {0, INT_MAX, {}}; }

    // No positional arguments.
    CliOptions(const QStringList& args, const QSet<QString>& valued, const QSet<QString>& flags);
    CliOptions(const QStringList& args, const QSet<QString>& valued, const QSet<QString>& flags,
               const Positional& positional);

    bool ok() const { return m_error.isEmpty(); }
    QString errorText() const { return m_error; }
    bool has(const QString& name) const
    {
        return m_values.contains(name) || m_flags.contains(name);
    }
    QString value(const QString& name, const QString& fallback = {}) const
    {
        return m_values.value(name, fallback);
    }
    const QStringList& positional() const { return m_positional; }

private:
    QHash<QString, QString> m_values;
    QSet<QString> m_flags;
    QStringList m_positional;
    QString m_error;
};

#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>

// Parses "--name value" options, "--flag" switches and positional arguments of one command.
class CliOptions
{
public:
    CliOptions(const QStringList& args, const QSet<QString>& valued, const QSet<QString>& flags);

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

#include "DatabaseLocation.h"

#include <QRegularExpression>
#include <QUrl>

namespace {
const QStringList knownParameters{"sslmode", "sslrootcert", "sslcert", "sslkey", "connect_timeout"};
const QStringList sslModes{"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};
} // namespace

DatabaseLocation::DatabaseLocation(const QString& location) : m_text(location)
{
    m_server = isServerUrl(location);
    if (!m_server)
        return;
    const QUrl url(location, QUrl::StrictMode);
    m_user = url.userName();
    m_host = url.host();
    m_port = url.port(5432);
    m_database = url.path().mid(1);
    if (!url.isValid() || m_host.isEmpty() || m_database.isEmpty() || m_database.contains('/'))
        refuse(QStringLiteral("адрес сервера должен иметь вид "
                              "postgresql://ПОЛЬЗОВАТЕЛЬ@СЕРВЕР:ПОРТ/БАЗА[?ПАРАМЕТР=ЗНАЧЕНИЕ&...]; "
                              "пробелы и особые знаки в значениях пишутся %-кодами, как в "
                              "любом URL"));
    else if (!url.password().isEmpty())
        refuse(QStringLiteral("пароль не пишется в адрес: его берут из ~/.pgpass или "
                              "PGPASSWORD"));
    else
        readParameters(url.query(QUrl::FullyEncoded));
}

bool DatabaseLocation::readParameters(const QString& query)
{
    if (query.isEmpty())
        return true;
    for (const QString& item : query.split('&')) {
        const int equals = item.indexOf('=');
        const QString name = QUrl::fromPercentEncoding(item.left(equals).toUtf8());
        const QString value =
            equals < 0 ? QString() : QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
        if (name == QLatin1String("password"))
            return refuse(QStringLiteral("пароль не пишется в адрес: его берут из ~/.pgpass или "
                                         "PGPASSWORD"));
        if (!knownParameters.contains(name))
            return refuse(QStringLiteral("параметр подключения «%1» не поддерживается; в адресе "
                                         "сервера допустимы: %2")
                              .arg(name, knownParameters.join(", ")));
        if (m_parameters.contains(name))
            return refuse(QStringLiteral("параметр подключения «%1» указан дважды").arg(name));
        if (value.isEmpty())
            return refuse(QStringLiteral("у параметра подключения «%1» нет значения").arg(name));
        if (name == QLatin1String("sslmode") && !sslModes.contains(value))
            return refuse(QStringLiteral("недопустимое значение sslmode «%1»; допустимы: %2")
                              .arg(value, sslModes.join(", ")));
        if (name == QLatin1String("connect_timeout") &&
            !QRegularExpression("^[0-9]{1,6}$").match(value).hasMatch())
            return refuse(
                QStringLiteral("connect_timeout должен быть числом секунд, а не «%1»").arg(value));
        // The driver takes its options as one list separated by ';', whatever the quoting.
        if (value.contains(';') || value.contains(QChar(0)))
            return refuse(
                QStringLiteral("значение параметра подключения «%1» не может содержать «;»")
                    .arg(name));
        m_parameters.insert(name, value);
    }
    return true;
}

bool DatabaseLocation::refuse(const QString& reason)
{
    m_valid = false;
    m_error = reason;
    m_parameters.clear();
    return false;
}

bool DatabaseLocation::isServerUrl(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) ||
           location.startsWith(QLatin1String("postgres://"));
}

QString DatabaseLocation::serverName() const
{
    return QStringLiteral("%1:%2/%3").arg(m_host).arg(m_port).arg(m_database);
}

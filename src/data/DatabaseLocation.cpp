#include "DatabaseLocation.h"

#include <QUrl>

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
    if (!url.isValid() || m_host.isEmpty() || m_database.isEmpty() || m_database.contains('/')) {
        m_valid = false;
        m_error = QStringLiteral("адрес сервера должен иметь вид "
                                 "postgresql://ПОЛЬЗОВАТЕЛЬ@СЕРВЕР:ПОРТ/БАЗА");
    } else if (!url.password().isEmpty()) {
        m_valid = false;
        m_error = QStringLiteral("пароль не пишется в адрес: его берут из ~/.pgpass или "
                                 "PGPASSWORD");
    }
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

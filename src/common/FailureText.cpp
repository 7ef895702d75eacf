#include "FailureText.h"

#include <QList>
#include <utility>

QString FailureText::russian(const QString& technical)
{
    static const QList<std::pair<QStringList, QString>> known{
        // The encrypted connection to a server, before the general markers below.
        {{"server does not support ssl"},
         QStringLiteral("сервер не принимает шифрованных соединений, а адрес их требует "
                        "(sslmode)")},
        {{"root certificate file"},
         QStringLiteral("корневой сертификат (sslrootcert) не найден или не читается")},
        {{"certificate verify failed"},
         QStringLiteral("сертификат сервера не прошёл проверку: он не подписан корневым "
                        "сертификатом, которому доверяет этот компьютер (sslrootcert)")},
        {{"does not match host name"},
         QStringLiteral("сертификат сервера выдан на другое имя, чем указано в адресе")},
        {{"no pg_hba.conf entry", "pg_hba.conf rejects connection"},
         QStringLiteral("сервер не пускает такое соединение (pg_hba.conf): например, требует "
                        "шифрования")},
        {{"not a database"}, QStringLiteral("файл не является базой данных")},
        {{"malformed", "corrupt"}, QStringLiteral("файл базы данных повреждён")},
        {{"locked", "busy"}, QStringLiteral("база данных занята другой программой")},
        {{"readonly", "read-only", "read only"}, QStringLiteral("файл доступен только для чтения")},
        {{"unable to open"}, QStringLiteral("файл базы данных не удаётся открыть")},
        {{"disk is full", "no space left"}, QStringLiteral("на диске нет места")},
        {{"permission denied", "access denied"}, QStringLiteral("нет прав доступа")},
        {{"no such file or directory"}, QStringLiteral("нет такого файла или папки")},
        {{"connection refused"}, QStringLiteral("сервер не принимает соединения")},
        {{"password authentication failed"}, QStringLiteral("сервер отклонил пароль")},
        {{"no password supplied"},
         QStringLiteral("сервер требует пароль, а его нет ни в ~/.pgpass, ни в PGPASSWORD")},
        {{"fatal:  role", "fatal:  database"},
         QStringLiteral("на сервере нет такого пользователя или базы данных")},
        {{"server closed the connection", "terminating connection", "no connection to the server"},
         QStringLiteral("соединение с сервером прервано")},
        {{"timed out", "timeout"}, QStringLiteral("сервер не ответил вовремя")},
        {{"network is unreachable", "no route to host"}, QStringLiteral("сеть недоступна")},
        {{"could not resolve", "name or service not known"},
         QStringLiteral("имя сервера не найдено")},
        {{"certificate"}, QStringLiteral("сертификат сервера не прошёл проверку")},
        {{"connection reset", "broken pipe"}, QStringLiteral("соединение прервано")},
    };
    const QString lower = technical.toLower();
    for (const auto& [markers, words] : known)
        for (const QString& marker : markers)
            if (lower.contains(marker))
                return words;
    return {};
}

QString FailureText::compose(const QString& what, const QString& technical,
                             const QString& generalReason)
{
    const QString words = russian(technical);
    if (technical.isEmpty())
        return QStringLiteral("%1: %2.").arg(what, generalReason);
    return QStringLiteral("%1: %2.\n%3")
        .arg(what, words.isEmpty() ? generalReason : words, technical);
}

#include "SmtpClient.h"

#include "FailureText.h"

#include "MailAddress.h"
#include "MailMessage.h"

#include <QList>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const QList<QByteArray>& smtpVerbs()
{
    static const QList<QByteArray> verbs = {"EHLO", "HELO", "STARTTLS", "AUTH", "MAIL",
                                            "RCPT", "DATA", "QUIT",     "RSET", "NOOP"};
    return verbs;
}

QString hostAndPort(const MailAccount& account)
{
    QString host = account.host().trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return host + QLatin1Char(':') + QString::number(account.port());
}

} // namespace

// What libcurl reports while one message goes out.
struct SmtpClient::Transfer
{
    QByteArray payload;
    qsizetype offset = 0;
    QByteArray pendingIn;      // reply text not yet ended by a line break
    QByteArray command;        // the last command verb sent
    QByteArray replyLine;      // the last complete reply line
    QByteArray refusal;        // a 4xx or 5xx reply not followed by a positive one
    QByteArray refusedCommand; // the command it answered ("" for the greeting)
    int refusalCode = 0;
    bool accepted = false; // the server took the message's data
    std::function<void()> onAccepted;

    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        auto* transfer = static_cast<Transfer*>(self);
        const qsizetype wanted = qsizetype(size) * qsizetype(count);
        const qsizetype left = transfer->payload.size() - transfer->offset;
        const qsizetype chunk = qMin(wanted, left);
        std::memcpy(buffer, transfer->payload.constData() + transfer->offset, size_t(chunk));
        transfer->offset += chunk;
        return size_t(chunk);
    }

    static int debug(CURL*, curl_infotype type, char* data, size_t size, void* self)
    {
        auto* transfer = static_cast<Transfer*>(self);
        if (type == CURLINFO_HEADER_OUT)
            transfer->sent(QByteArray(data, qsizetype(size)));
        else if (type == CURLINFO_HEADER_IN)
            transfer->received(QByteArray(data, qsizetype(size)));
        return 0;
    }

    void sent(const QByteArray& line)
    {
        // Only the verb is kept: AUTH lines carry credentials.
        const QByteArray verb = line.trimmed().split(' ').value(0).toUpper();
        if (smtpVerbs().contains(verb))
            command = verb;
    }

    void received(const QByteArray& data)
    {
        pendingIn += data;
        qsizetype end;
        while ((end = pendingIn.indexOf('\n')) >= 0) {
            const QByteArray line = pendingIn.left(end).trimmed();
            pendingIn.remove(0, end + 1);
            if (line.size() < 3)
                continue;
            bool ok = false;
            const int code = line.left(3).toInt(&ok);
            if (!ok || (line.size() > 3 && line.at(3) == '-'))
                continue;
            replyLine = line.left(512);
            if (code >= 400) {
                refusalCode = code;
                refusal = replyLine;
                refusedCommand = command;
            } else if (command != "QUIT") {
                // Passed over (EHLO falls back to HELO): not why a transfer failed.
                refusalCode = 0;
                refusal.clear();
                refusedCommand.clear();
            }
            if (command == "DATA" && code == 354) {
                command = "MESSAGE";
            } else if (command == "MESSAGE" && code < 400) {
                // The reply to the end of the data: the message is the server's from now on.
                command = "ACCEPTED";
                accepted = true;
                if (onAccepted)
                    onAccepted();
            }
        }
    }
};

SmtpClient::SmtpClient()
{
    initCurlOnce();
}

SmtpClient::~SmtpClient() = default;

bool SmtpClient::signOn(const MailAccount& account)
{
    m_errorText.clear();
    const QString reason = account.incompleteReason();
    if (!reason.isEmpty()) {
        m_errorText = QStringLiteral("Настройки почтового сервера не заполнены: ") + reason;
        m_signedOn = false;
        return false;
    }
    m_account = account;
    m_signedOn = true;
    return true;
}

void SmtpClient::signOff()
{
    m_account = MailAccount();
    m_signedOn = false;
}

bool SmtpClient::send(const MailMessage& message, const std::function<void()>& accepted)
{
    m_errorText.clear();
    m_lastReply.clear();
    m_failedForGood = false;
    if (!m_signedOn) {
        m_errorText = QStringLiteral("Вход на почтовый сервер не выполнен.");
        return false;
    }
    // Faults of this machine's settings: no try changes them.
    for (const QString& fault : {m_account.plaintextRefusal(), m_account.caFileProblem()}) {
        if (!fault.isEmpty()) {
            m_errorText = fault;
            m_failedForGood = true;
            return false;
        }
    }

    Transfer transfer;
    transfer.onAccepted = accepted;
    QString why;
    if (!message.compose(m_account.senderAddress(), &transfer.payload, &why)) {
        m_errorText = why;
        return false;
    }

    CURL* curl = curl_easy_init();
    if (!curl) {
        m_errorText = QStringLiteral("Не удалось подготовить отправку почты.");
        return false;
    }
    const bool implicitTls = m_account.security() == MailAccount::Security::Ssl;
    const QByteArray url = (implicitTls ? QByteArray("smtps://") : QByteArray("smtp://")) +
                           hostAndPort(m_account).toUtf8();
    const QByteArray from = '<' + MailAddress::toAscii(m_account.senderAddress()) + '>';
    const QByteArray to = '<' + MailAddress::toAscii(message.recipient()) + '>';
    const QByteArray login = m_account.login().toUtf8();
    const QByteArray password = m_account.password().toUtf8();
    const QByteArray caFile = m_account.caFile().toLocal8Bit();
    curl_slist* recipients = curl_slist_append(nullptr, to.constData());
    char errorBuffer[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USE_SSL,
                     m_account.security() == MailAccount::Security::None ? long(CURLUSESSL_NONE)
                                                                         : long(CURLUSESSL_ALL));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.constData());
    if (!login.isEmpty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, login.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Transfer::read);
    curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(transfer.payload.size()));
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTransferTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &Transfer::debug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    long osErrno = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
    curl_slist_free_all(recipients);
    curl_easy_cleanup(curl);

    m_lastReply =
        QString::fromUtf8(transfer.refusal.isEmpty() ? transfer.replyLine : transfer.refusal);
    // What goes wrong after the server accepted the data (QUIT) is no failure of the send.
    if (code == CURLE_OK || transfer.accepted)
        return true;
    m_failedForGood = transfer.refusalCode >= 500 || code == CURLE_LOGIN_DENIED ||
                      code == CURLE_SSL_CACERT_BADFILE;

    QString curlText = QString::fromUtf8(errorBuffer).trimmed();
    if (curlText.isEmpty())
        curlText = QString::fromUtf8(curl_easy_strerror(code));
    if (code == CURLE_COULDNT_CONNECT && osErrno != 0)
        curlText = qt_error_string(int(osErrno));
    m_errorText = describeFailure(int(code), transfer, curlText);
    return false;
}

QString SmtpClient::describeFailure(int code, const Transfer& transfer,
                                    const QString& curlText) const
{
    const QString server = hostAndPort(m_account);
    const QString reply = QString::fromUtf8(transfer.refusal);

    // A refusal by the server is told with its own words.
    if (transfer.refusalCode != 0) {
        if (transfer.refusalCode == 530) {
            if (reply.contains(QLatin1String("TLS"), Qt::CaseInsensitive))
                return QStringLiteral("Сервер требует защищённого соединения: ") + reply;
            return QStringLiteral("Сервер требует входа по имени и паролю: ") + reply;
        }
        const QByteArray& verb = transfer.refusedCommand;
        if (verb == "RCPT")
            return QStringLiteral("Сервер отклонил получателя: ") + reply;
        if (verb == "MAIL")
            return QStringLiteral("Сервер отклонил адрес отправителя: ") + reply;
        if (verb == "AUTH")
            return QStringLiteral("Сервер не принял имя пользователя или пароль: ") + reply;
        if (verb == "DATA" || verb == "MESSAGE")
            return QStringLiteral("Сервер не принял письмо: ") + reply;
        if (verb == "STARTTLS")
            return QStringLiteral("Сервер не смог включить защищённое соединение: ") + reply;
        if (verb.isEmpty())
            return QStringLiteral("Сервер %1 отказался принять соединение: %2").arg(server, reply);
        return QStringLiteral("Сервер %1 отказал: %2").arg(server, reply);
    }

    // What failed in Russian words, with libcurl's own text on a line of its own.
    QString what;
    QString general = QStringLiteral("ошибка связи");
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        what = QStringLiteral("Не удалось подключиться к серверу %1").arg(server);
        general = QStringLiteral("нет соединения");
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        what = QStringLiteral("Не удалось найти почтовый сервер «%1»").arg(m_account.host());
        general = QStringLiteral("имя сервера не найдено");
        break;
    case CURLE_OPERATION_TIMEDOUT:
        what = QStringLiteral("Почтовый сервер %1 не ответил вовремя").arg(server);
        general = QStringLiteral("время ожидания истекло");
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        what = QStringLiteral("Сертификат почтового сервера %1 не прошёл проверку").arg(server);
        general = QStringLiteral("сертификат не подтверждён");
        break;
    case CURLE_SSL_CACERT_BADFILE:
        what = QStringLiteral("Файл сертификата «%1» не читается как сертификат в формате PEM")
                   .arg(m_account.caFile());
        general = QStringLiteral("файл сертификата не читается");
        break;
    case CURLE_SSL_CONNECT_ERROR:
        what =
            QStringLiteral("Не удалось установить защищённое соединение с сервером %1").arg(server);
        general = QStringLiteral("ошибка защищённого соединения");
        break;
    case CURLE_USE_SSL_FAILED:
        what = QStringLiteral("Сервер %1 не поддерживает защищённое соединение").arg(server);
        general = QStringLiteral("защищённое соединение не включено");
        break;
    case CURLE_LOGIN_DENIED:
        what = QStringLiteral("Сервер не принял имя пользователя или пароль");
        general = QStringLiteral("вход отклонён");
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        what = QStringLiteral("Связь с сервером %1 прервалась").arg(server);
        general = QStringLiteral("соединение прервано");
        break;
    default:
        what = QStringLiteral("Не удалось отправить письмо через сервер %1").arg(server);
        break;
    }
    return FailureText::compose(what, curlText, general);
}

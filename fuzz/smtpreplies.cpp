// SmtpClient against a server that replies anything. Input: an optional first line starting
// with '#' naming options ("starttls", "login"), then the server's replies, one after each line
// the client sends, separated by empty lines (a bare LF is sent as CRLF). A send either
// succeeds or says why; the server's reply it keeps is at most one line of 512 bytes, and no
// text it shows holds the password unless the server said it.
#include "FuzzSupport.h"
#include "MailMessage.h"
#include "ScriptedSmtpServer.h"
#include "SmtpClient.h"

namespace {

const QString kPassword = QStringLiteral("pw-9Kq2-secret");

ScriptedSmtpServer& server()
{
    static ScriptedSmtpServer* instance = new ScriptedSmtpServer;
    return *instance;
}

// The script cut at empty lines, each reply with CRLF line ends.
QList<QByteArray> repliesOf(const QByteArray& script)
{
    QList<QByteArray> replies;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = script.indexOf("\n\n", start);
        QByteArray reply = script.mid(start, end < 0 ? -1 : end + 1 - start);
        replies << reply.replace('\n', "\r\n");
        if (end < 0)
            return replies;
        start = end + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzSupport::isolate();
    server();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray options;
    if (input.startsWith('#')) {
        const qsizetype end = input.indexOf('\n');
        options = end < 0 ? input : input.left(end);
        input = end < 0 ? QByteArray() : input.mid(end + 1);
    }
    server().setScript(repliesOf(input));

    MailAccount account;
    account.setHost(QStringLiteral("127.0.0.1"));
    account.setPort(server().port());
    account.setSecurity(options.contains("starttls") ? MailAccount::Security::StartTls
                                                     : MailAccount::Security::None);
    if (options.contains("login")) {
        account.setLogin(QStringLiteral("reports"));
        account.setPassword(kPassword);
    }
    account.setSenderAddress(QStringLiteral("reports@example.com"));
    MailMessage message;
    message.setRecipient(QStringLiteral("owner@example.com"));
    message.setSubject(QStringLiteral("Отчёты"));
    message.setBody(QStringLiteral("Отчёты за неделю."));

    SmtpClient client;
    FUZZ_REQUIRE(client.signOn(account));
    const bool sent = client.send(message);
    FUZZ_REQUIRE(sent == client.errorText().isEmpty());
    const QString reply = client.lastServerReply();
    FUZZ_REQUIRE(reply.size() <= 512 && !reply.contains(QLatin1Char('\n')));
    if (!input.contains(kPassword.toUtf8())) {
        FUZZ_REQUIRE(!client.errorText().contains(kPassword));
        FUZZ_REQUIRE(!reply.contains(kPassword));
    }
    return 0;
}

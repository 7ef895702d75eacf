#pragma once

#include "MailAccount.h"

#include <QByteArray>
#include <QString>

#include <functional>

class MailMessage;

// Sends messages through the account's SMTP server with libcurl. Blocking: one send takes at
// most the transfer timeout. One client per thread.
class SmtpClient
{
public:
    SmtpClient();
    ~SmtpClient();
    SmtpClient(const SmtpClient&) = delete;
    SmtpClient& operator=(const SmtpClient&) = delete;

    // Takes the account for the following sends. Fails, with errorText(), when it is incomplete.
    bool signOn(const MailAccount& account);
    bool isSignedOn() const { return m_signedOn; }
    void signOff();

    // Composes and sends one message. On failure errorText() says why in the operator's words,
    // with the server's reply when there was one. The message counts as sent once the server
    // has accepted its data: `accepted` runs at that moment, before the session is closed, and
    // a failure while closing it no longer matters.
    bool send(const MailMessage& message, const std::function<void()>& accepted = {});

    QString errorText() const { return m_errorText; }
    // The last failure will not go away by trying again: the server refused for good (a 5xx
    // reply) or did not accept the login, or the account cannot be used as it is (a missing
    // certificate file, a login without encryption that is not allowed). Connection troubles,
    // time-outs and 4xx replies are passing.
    bool failedForGood() const { return m_failedForGood; }
    // The server's last refusal (4xx/5xx) during the last send, or else its last reply line.
    QString lastServerReply() const { return m_lastReply; }

    static constexpr long kConnectTimeoutSeconds = 15;
    static constexpr long kTransferTimeoutSeconds = 120;

private:
    struct Transfer;
    QString describeFailure(int code, const Transfer& transfer, const QString& curlText) const;

    MailAccount m_account;
    bool m_signedOn = false;
    QString m_errorText;
    QString m_lastReply;
    bool m_failedForGood = false;
};

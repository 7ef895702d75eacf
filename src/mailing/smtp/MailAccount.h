#pragma once

#include <QString>

// The outgoing mail server account: where to send, how to sign in, whom the mail is from.
// Stored in a small key=value file that only its owner can read.
class MailAccount
{
public:
    enum class Security
    {
        StartTls,
        Ssl,
        None
    };

    MailAccount() = default;

    QString host() const { return m_host; }
    void setHost(const QString& host) { m_host = host; }
    int port() const { return m_port; }
    void setPort(int port) { m_port = port; }
    Security security() const { return m_security; }
    void setSecurity(Security security) { m_security = security; }
    QString login() const { return m_login; }
    void setLogin(const QString& login) { m_login = login; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    QString senderAddress() const { return m_senderAddress; }
    void setSenderAddress(const QString& address) { m_senderAddress = address; }
    // A PEM file of certificate authorities to check the server's certificate against
    // (a private or test authority). Empty for the system's authorities.
    QString caFile() const { return m_caFile; }
    void setCaFile(const QString& path) { m_caFile = path; }

    // The usual port for a security mode: 587, 465 or 25.
    static int defaultPort(Security security);

    // Host, a port in range and a valid sender address are set. A login is optional.
    bool isComplete() const;
    // Why the account is not complete, in words for the operator; empty when it is.
    QString incompleteReason() const;

    // <generic config folder>/Kalvent/mail-account.ini
    static QString defaultPath();

    // A missing file is an error too; errorText() tells which.
    bool load(const QString& path = defaultPath());
    // Writes with mode 0600, creating the folder (mode 0700) when missing.
    bool save(const QString& path = defaultPath()) const;
    QString errorText() const { return m_errorText; }

    bool operator==(const MailAccount& other) const;
    bool operator!=(const MailAccount& other) const { return !(*this == other); }

private:
    QString m_host;
    int m_port = 587;
    Security m_security = Security::StartTls;
    QString m_login;
    QString m_password;
    QString m_senderAddress;
    QString m_caFile;
    mutable QString m_errorText;
};

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
    // Where the password is kept: nowhere (no password), in the desktop's secret store, or in
    // the account file itself where no secret store runs.
    enum class PasswordPlace
    {
        None,
        SecretStore,
        File
    };

    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    QString senderAddress() const { return m_senderAddress; }
    void setSenderAddress(const QString& address) { m_senderAddress = address; }
    // A PEM file of certificate authorities to check the server's certificate against
    // (a private or test authority). Empty for the system's authorities.
    QString caFile() const { return m_caFile; }
    void setCaFile(const QString& path) { m_caFile = path; }
    // Why the certificate file cannot be used (missing, unreadable), in words for the
    // operator; empty when it can or none is set. Mending it is up to the operator.
    QString caFileProblem() const;
    // A login over a connection without encryption sends the password in clear text; it is
    // refused unless the operator allowed it. Meaningful only with Security::None.
    bool allowPlaintext() const { return m_allowPlaintext; }
    void setAllowPlaintext(bool allow) { m_allowPlaintext = allow; }
    // Why the login may not be sent as things are (no encryption, not allowed); empty when
    // it may.
    QString plaintextRefusal() const;

    // The usual port for a security mode: 587, 465 or 25.
    static int defaultPort(Security security);

    // Host, a port in range and a valid sender address are set. A login is optional.
    bool isComplete() const;
    // Why the account is not complete, in words for the operator; empty when it is.
    QString incompleteReason() const;

    // <generic config folder>/Kalvent/mail-account.ini
    static QString defaultPath();

    // A missing file is an error too; errorText() tells which. A password kept in the secret
    // store is read from it.
    bool load(const QString& path = defaultPath());
    // Writes with mode 0600, creating the folder (mode 0700) when missing. The password goes
    // to the secret store, or into the file when no secret store can take it.
    bool save(const QString& path = defaultPath());
    QString errorText() const { return m_errorText; }
    // The certificate file named in the account file, read without the password; empty when
    // there is no file or none is named.
    static QString storedCaFile(const QString& path = defaultPath());

    // Moves a password kept in the account file into the secret store once one runs; true
    // when it moved.
    static bool moveToSecretStore(const QString& path = defaultPath());

    // Set by load() and save().
    PasswordPlace passwordPlace() const { return m_passwordPlace; }
    // Why the secret store was not used, after a save that put the password in the file.
    QString secretStoreUnavailableReason() const { return m_secretStoreWhy; }

    bool operator==(const MailAccount& other) const;
    bool operator!=(const MailAccount& other) const { return !(*this == other); }

private:
    // The values of the file's text; *inSecretStore tells that the password is kept there.
    bool parse(const QString& path, const QByteArray& text, bool* inSecretStore);

    QString m_host;
    int m_port = 587;
    Security m_security = Security::StartTls;
    QString m_login;
    QString m_password;
    QString m_senderAddress;
    QString m_caFile;
    bool m_allowPlaintext = false;
    PasswordPlace m_passwordPlace = PasswordPlace::None;
    QString m_secretStoreWhy;
    QString m_errorText;
};

#pragma once

#include "MailAccount.h"
#include "MailingRun.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// The outgoing mail account: server, port, connection security, login, password, sender and
// the certificate file of a private authority. OK checks the values and saves them,
// owner-readable only; an incomplete account, a login without encryption that is not allowed
// or a certificate file that cannot be read keeps the dialog open with the reason.
class MailAccountDialog : public QDialog
{
    Q_OBJECT

public:
    // Answers the dialog instead of the operator in tests: fill the fields, press OK or Cancel.
    using ExecHandler = std::function<void(MailAccountDialog&)>;

    explicit MailAccountDialog(const QString& path = MailAccount::defaultPath(),
                               QWidget* parent = nullptr);

    // Fills the fields.
    void setAccount(const MailAccount& account);
    // The account as the fields hold it now.
    MailAccount account() const;
    QString path() const { return m_path; }

    // Checks and saves; stays open with a message when the account is incomplete or the file
    // cannot be written.
    void accept() override;

    // The stored account in *account when it is complete and may be used as it is; otherwise
    // asks for it with the dialog. False when the operator cancels.
    static bool ensureAccount(QWidget* parent, MailAccount* account,
                              const QString& path = MailAccount::defaultPath());

    // The program's source of the mail account for a mailing run: the stored account, asked
    // for with the dialog (over the window `parent` gives at that moment) when none is stored.
    static MailingRun::AccountSource askingSource(const std::function<QWidget*()>& parent);

    static void setExecHandler(ExecHandler handler);

private:
    static MailAccount::Security securityAt(int index);
    static int indexOf(MailAccount::Security security);
    void securityChanged(int index);
    void setPortQuietly(int port);
    // The plain-text permission means something only without encryption.
    void updatePlaintextPermission();
    void chooseCaFile();
    // Shows why the values are refused and puts the cursor where to mend them.
    void refuse(const QString& reason, QWidget* field);

    static ExecHandler s_execHandler;

    QString m_path;
    MailAccount m_account;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLineEdit* m_login = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_sender = nullptr;
    QCheckBox* m_allowPlaintext = nullptr;
    QLabel* m_plaintextWarning = nullptr;
    QLineEdit* m_caFile = nullptr;
    bool m_portEdited = false;
    bool m_settingPort = false;
};

#include "MailAccountDialog.h"

#include "Dialogs.h"
#include "MailAddress.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

MailAccountDialog::ExecHandler MailAccountDialog::s_execHandler;

namespace {

const QString kCaption = QStringLiteral("Почтовая учётная запись");

} // namespace

MailAccountDialog::MailAccountDialog(const QString& path, QWidget* parent)
    : QDialog(parent), m_path(path)
{
    setWindowTitle(kCaption);

    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("host"));
    m_host->setPlaceholderText(QStringLiteral("smtp.example.ru"));

    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setRange(1, 65535);

    m_security = new QComboBox(this);
    m_security->setObjectName(QStringLiteral("security"));
    m_security->addItems(
        {QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS"), QStringLiteral("Без шифрования")});

    m_login = new QLineEdit(this);
    m_login->setObjectName(QStringLiteral("login"));

    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);

    m_sender = new QLineEdit(this);
    m_sender->setObjectName(QStringLiteral("sender"));
    m_sender->setPlaceholderText(QStringLiteral("office@example.ru"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Сервер:"), m_host);
    form->addRow(QStringLiteral("П&орт:"), m_port);
    form->addRow(QStringLiteral("&Защита соединения:"), m_security);
    form->addRow(QStringLiteral("&Имя пользователя:"), m_login);
    form->addRow(QStringLiteral("&Пароль:"), m_password);
    form->addRow(QStringLiteral("&Адрес отправителя:"), m_sender);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &MailAccountDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MailAccountDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_host->setMinimumWidth(260);

    connect(m_port, &QSpinBox::valueChanged, this, [this] {
        if (!m_settingPort)
            m_portEdited = true;
    });
    connect(m_security, &QComboBox::currentIndexChanged, this, &MailAccountDialog::securityChanged);

    setAccount(MailAccount());
}

MailAccount::Security MailAccountDialog::securityAt(int index)
{
    switch (index) {
    case 1:
        return MailAccount::Security::Ssl;
    case 2:
        return MailAccount::Security::None;
    default:
        break;
    }
    return MailAccount::Security::StartTls;
}

int MailAccountDialog::indexOf(MailAccount::Security security)
{
    switch (security) {
    case MailAccount::Security::Ssl:
        return 1;
    case MailAccount::Security::None:
        return 2;
    case MailAccount::Security::StartTls:
        break;
    }
    return 0;
}

void MailAccountDialog::setPortQuietly(int port)
{
    m_settingPort = true;
    m_port->setValue(port);
    m_settingPort = false;
}

void MailAccountDialog::securityChanged(int index)
{
    if (!m_portEdited)
        setPortQuietly(MailAccount::defaultPort(securityAt(index)));
}

void MailAccountDialog::setAccount(const MailAccount& account)
{
    m_account = account;
    m_host->setText(account.host());
    m_login->setText(account.login());
    m_password->setText(account.password());
    m_sender->setText(account.senderAddress());
    // A stored port other than the usual one was chosen on purpose: it stays when the
    // security mode changes.
    m_portEdited = true;
    m_security->setCurrentIndex(indexOf(account.security()));
    setPortQuietly(account.port());
    m_portEdited = account.port() != MailAccount::defaultPort(account.security());
}

MailAccount MailAccountDialog::account() const
{
    MailAccount result = m_account;
    result.setHost(m_host->text().trimmed());
    result.setPort(m_port->value());
    result.setSecurity(securityAt(m_security->currentIndex()));
    result.setLogin(m_login->text());
    result.setPassword(m_password->text());
    result.setSenderAddress(m_sender->text().trimmed());
    return result;
}

void MailAccountDialog::accept()
{
    MailAccount entered = account();
    const QString reason = entered.incompleteReason();
    if (!reason.isEmpty()) {
        QString senderWhy;
        const bool senderValid =
            MailAddress::validate(entered.senderAddress(), MailAddress::Role::Sender, &senderWhy);
        QLineEdit* field = (!senderValid && reason == senderWhy) ? m_sender : m_host;
        Dialogs::critical(this, kCaption, reason);
        field->setFocus();
        field->selectAll();
        return;
    }
    if (!entered.save(m_path)) {
        Dialogs::critical(this, kCaption, entered.errorText());
        return;
    }
    m_account = entered;
    QDialog::accept();
}

bool MailAccountDialog::ensureAccount(QWidget* parent, MailAccount* account, const QString& path)
{
    MailAccount stored;
    const bool loaded = stored.load(path);
    if (loaded && stored.isComplete()) {
        *account = stored;
        return true;
    }
    // A file that is there but cannot be used is worth a word before it is replaced.
    if (!loaded && QFileInfo::exists(path))
        Dialogs::critical(parent, kCaption, stored.errorText());

    MailAccountDialog dialog(path, parent);
    if (loaded)
        dialog.setAccount(stored);
    if (s_execHandler)
        s_execHandler(dialog);
    else
        dialog.exec();
    if (dialog.result() != QDialog::Accepted)
        return false;
    *account = dialog.account();
    return true;
}

MailingRun::AccountSource MailAccountDialog::askingSource(std::function<QWidget*()> parent)
{
    return [parent] {
        MailingRun::AccountChoice choice;
        choice.ok = ensureAccount(parent ? parent() : nullptr, &choice.account);
        if (!choice.ok)
            choice.reason =
                QStringLiteral("Почтовая учётная запись не настроена: отчеты не отправлены.");
        return choice;
    };
}

void MailAccountDialog::setExecHandler(ExecHandler handler)
{
    s_execHandler = std::move(handler);
}

#include "MailAccountDialog.h"

#include "Dialogs.h"
#include "MailAddress.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>
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

    m_allowPlaintext = new QCheckBox(QStringLiteral("Разрешить пароль без &шифрования"), this);
    m_allowPlaintext->setObjectName(QStringLiteral("allowPlaintext"));
    m_plaintextWarning = new QLabel(
        QStringLiteral("Без шифрования имя и пароль идут по сети открытым текстом: их может "
                       "прочитать любой, кто видит эту сеть. Разрешайте это только для сервера "
                       "в своей защищённой сети."),
        this);
    m_plaintextWarning->setObjectName(QStringLiteral("plaintextWarning"));
    m_plaintextWarning->setWordWrap(true);

    m_caFile = new QLineEdit(this);
    m_caFile->setObjectName(QStringLiteral("caFile"));
    m_caFile->setPlaceholderText(QStringLiteral("сертификаты системы"));
    m_caFile->setToolTip(QStringLiteral("Файл PEM с сертификатом своего центра сертификации "
                                        "или самоподписанным сертификатом сервера"));
    auto* chooseCa = new QToolButton(this);
    chooseCa->setObjectName(QStringLiteral("chooseCaFile"));
    chooseCa->setText(QStringLiteral("..."));
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile);
    caRow->addWidget(chooseCa);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Сервер:"), m_host);
    form->addRow(QStringLiteral("П&орт:"), m_port);
    form->addRow(QStringLiteral("&Защита соединения:"), m_security);
    form->addRow(QString(), m_allowPlaintext);
    form->addRow(QString(), m_plaintextWarning);
    form->addRow(QStringLiteral("&Имя пользователя:"), m_login);
    form->addRow(QStringLiteral("&Пароль:"), m_password);
    form->addRow(QStringLiteral("&Адрес отправителя:"), m_sender);
    form->addRow(QStringLiteral("Файл с&ертификата:"), caRow);
    if (auto* caLabel = qobject_cast<QLabel*>(form->labelForField(caRow)))
        caLabel->setBuddy(m_caFile);

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
    connect(m_allowPlaintext, &QCheckBox::toggled, this,
            &MailAccountDialog::updatePlaintextPermission);
    connect(chooseCa, &QToolButton::clicked, this, &MailAccountDialog::chooseCaFile);

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
    updatePlaintextPermission();
}

void MailAccountDialog::updatePlaintextPermission()
{
    const bool none = securityAt(m_security->currentIndex()) == MailAccount::Security::None;
    m_allowPlaintext->setEnabled(none);
    m_plaintextWarning->setVisible(none && m_allowPlaintext->isChecked());
}

void MailAccountDialog::chooseCaFile()
{
    const QString current = m_caFile->text().trimmed();
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Файл сертификата"),
        current.isEmpty() ? QString() : QFileInfo(current).absolutePath(),
        QStringLiteral("Сертификаты (*.pem *.crt *.cer);;Все файлы (*)"));
    if (!chosen.isEmpty())
        m_caFile->setText(chosen);
}

void MailAccountDialog::setAccount(const MailAccount& account)
{
    m_account = account;
    m_host->setText(account.host());
    m_login->setText(account.login());
    m_password->setText(account.password());
    m_sender->setText(account.senderAddress());
    m_caFile->setText(account.caFile());
    m_allowPlaintext->setChecked(account.allowPlaintext());
    // A stored port other than the usual one was chosen on purpose: it stays when the
    // security mode changes.
    m_portEdited = true;
    m_security->setCurrentIndex(indexOf(account.security()));
    setPortQuietly(account.port());
    m_portEdited = account.port() != MailAccount::defaultPort(account.security());
    updatePlaintextPermission();
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
    result.setAllowPlaintext(result.security() == MailAccount::Security::None &&
                             m_allowPlaintext->isChecked());
    const QString caFile = m_caFile->text().trimmed();
    result.setCaFile(caFile.isEmpty() ? QString() : QFileInfo(caFile).absoluteFilePath());
    return result;
}

void MailAccountDialog::accept()
{
    MailAccount entered = account();
    const QString reason = entered.incompleteReason();
    if (!reason.isEmpty()) {
        const auto sender =
            MailAddress::validate(entered.senderAddress(), MailAddress::Role::Sender);
        refuse(reason, (!sender && reason == sender.errorText()) ? m_sender : m_host);
        return;
    }
    if (!entered.plaintextRefusal().isEmpty()) {
        refuse(entered.plaintextRefusal(), m_security);
        return;
    }
    if (!entered.caFileProblem().isEmpty()) {
        refuse(entered.caFileProblem(), m_caFile);
        return;
    }
    if (!entered.save(m_path)) {
        Dialogs::critical(this, kCaption, entered.errorText());
        return;
    }
    m_account = entered;
    QDialog::accept();
}

void MailAccountDialog::refuse(const QString& reason, QWidget* field)
{
    Dialogs::critical(this, kCaption, reason);
    field->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(field))
        line->selectAll();
}

bool MailAccountDialog::ensureAccount(QWidget* parent, MailAccount* account, const QString& path)
{
    MailAccount stored;
    const bool loaded = stored.load(path);
    // A login without encryption that was not allowed (a file from before the choice, or
    // edited by hand) is asked about too.
    const QString refusal = loaded ? stored.plaintextRefusal() : QString();
    if (loaded && stored.isComplete() && refusal.isEmpty()) {
        *account = stored;
        return true;
    }
    // A file that is there but cannot be used is worth a word before it is replaced.
    if (!loaded && QFileInfo::exists(path))
        Dialogs::critical(parent, kCaption, stored.errorText());
    else if (!refusal.isEmpty())
        Dialogs::critical(parent, kCaption, refusal);

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

MailingRun::AccountSource MailAccountDialog::askingSource(const std::function<QWidget*()>& parent)
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

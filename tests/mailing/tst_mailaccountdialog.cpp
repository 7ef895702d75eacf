#include "MailAccountDialog.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

QLineEdit* field(MailAccountDialog& dialog, const char* name)
{
    return dialog.findChild<QLineEdit*>(name);
}
QSpinBox* port(MailAccountDialog& dialog)
{
    return dialog.findChild<QSpinBox*>("port");
}
QComboBox* security(MailAccountDialog& dialog)
{
    return dialog.findChild<QComboBox*>("security");
}
QCheckBox* allowPlaintext(MailAccountDialog& dialog)
{
    return dialog.findChild<QCheckBox*>("allowPlaintext");
}
void press(MailAccountDialog& dialog, QDialogButtonBox::StandardButton which)
{
    dialog.findChild<QDialogButtonBox*>("buttons")->button(which)->click();
}

void fillComplete(MailAccountDialog& dialog)
{
    field(dialog, "host")->setText(QStringLiteral(" smtp.example.ru "));
    security(dialog)->setCurrentIndex(1);
    field(dialog, "login")->setText(QStringLiteral("office"));
    field(dialog, "password")->setText(QStringLiteral("пароль = #1\\"));
    field(dialog, "sender")->setText(QStringLiteral("office@example.ru"));
}

int fileMode(const QString& path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

} // namespace

// The mail account dialog: its fields, OK with incomplete and complete values, Cancel, and the
// check that asks for an account only when none is stored.
class TestMailAccountDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString freshPath(const char* name) const
    {
        return m_dir.filePath(QLatin1String(name) + QStringLiteral("/Kalvent/mail-account.ini"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        QVERIFY(m_dir.isValid());
    }

    void cleanup() { MailAccountDialog::setExecHandler({}); }

    void fields()
    {
        MailAccountDialog dialog(freshPath("fields"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Почтовая учётная запись"));
        QCOMPARE(field(dialog, "password")->echoMode(), QLineEdit::Password);
        QCOMPARE(port(dialog)->minimum(), 1);
        QCOMPARE(port(dialog)->maximum(), 65535);
        const QStringList modes = {security(dialog)->itemText(0), security(dialog)->itemText(1),
                                   security(dialog)->itemText(2)};
        QCOMPARE(modes, (QStringList{"STARTTLS", "SSL/TLS", "Без шифрования"}));
        QCOMPARE(security(dialog)->count(), 3);
    }

    // The port follows the security mode until the operator sets one of their own.
    void portFollowsTheSecurityModeUntilEdited()
    {
        MailAccountDialog dialog(freshPath("port"));
        QCOMPARE(security(dialog)->currentIndex(), 0);
        QCOMPARE(port(dialog)->value(), 587);
        security(dialog)->setCurrentIndex(1);
        QCOMPARE(port(dialog)->value(), 465);
        QCOMPARE(dialog.account().security(), MailAccount::Security::Ssl);
        security(dialog)->setCurrentIndex(2);
        QCOMPARE(port(dialog)->value(), 25);
        QCOMPARE(dialog.account().security(), MailAccount::Security::None);

        port(dialog)->setValue(2525);
        security(dialog)->setCurrentIndex(0);
        QCOMPARE(port(dialog)->value(), 2525);
        QCOMPARE(dialog.account().security(), MailAccount::Security::StartTls);

        // A stored port of its own stays too; a stored usual one follows.
        MailAccount stored;
        stored.setSecurity(MailAccount::Security::Ssl);
        stored.setPort(10465);
        dialog.setAccount(stored);
        QCOMPARE(security(dialog)->currentIndex(), 1);
        QCOMPARE(port(dialog)->value(), 10465);
        security(dialog)->setCurrentIndex(0);
        QCOMPARE(port(dialog)->value(), 10465);
        stored.setPort(465);
        dialog.setAccount(stored);
        security(dialog)->setCurrentIndex(2);
        QCOMPARE(port(dialog)->value(), 25);
    }

    void incompleteValuesAreRefusedThenCompleteOnesSaved()
    {
        const QString path = freshPath("save");
        TestSupport::MessageRecorder messages;
        MailAccount result;
        int rounds = 0;
        MailAccountDialog::setExecHandler([&](MailAccountDialog& dialog) {
            ++rounds;
            QCOMPARE(dialog.path(), path);
            // No server yet.
            field(dialog, "sender")->setText(QStringLiteral("office@example.ru"));
            press(dialog, QDialogButtonBox::Ok);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(messages.shown().size(), 1);
            QCOMPARE(messages.shown().last().icon, QMessageBox::Critical);
            QCOMPARE(messages.shown().last().text, QStringLiteral("Не указан почтовый сервер."));
            QVERIFY(!QFileInfo::exists(path));

            // A server name that would break the connection address.
            field(dialog, "host")->setText(QStringLiteral("smtp.example.ru/x"));
            press(dialog, QDialogButtonBox::Ok);
            QCOMPARE(messages.shown().size(), 2);
            QVERIFY2(messages.shown().last().text.contains(QStringLiteral("недопустимые")),
                     qPrintable(messages.shown().last().text));

            // No sender, then not one address.
            field(dialog, "host")->setText(QStringLiteral("smtp.example.ru"));
            field(dialog, "sender")->clear();
            press(dialog, QDialogButtonBox::Ok);
            QCOMPARE(messages.shown().size(), 3);
            QCOMPARE(messages.shown().last().text, QStringLiteral("Не указан адрес отправителя."));
            field(dialog, "sender")->setText(QStringLiteral("office@example.ru, boss@example.ru"));
            press(dialog, QDialogButtonBox::Ok);
            QCOMPARE(messages.shown().size(), 4);
            QVERIFY2(messages.shown().last().text.startsWith(
                         QStringLiteral("Адрес отправителя «office@example.ru, boss@example.ru» "
                                        "не является одним почтовым адресом")),
                     qPrintable(messages.shown().last().text));
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!QFileInfo::exists(path));

            fillComplete(dialog);
            press(dialog, QDialogButtonBox::Ok);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        });

        QVERIFY(MailAccountDialog::ensureAccount(nullptr, &result, path));
        QCOMPARE(rounds, 1);
        QCOMPARE(messages.shown().size(), 4);
        QCOMPARE(result.host(), QStringLiteral("smtp.example.ru"));
        QCOMPARE(result.port(), 465);
        QCOMPARE(result.security(), MailAccount::Security::Ssl);
        QCOMPARE(result.login(), QStringLiteral("office"));
        QCOMPARE(result.password(), QStringLiteral("пароль = #1\\"));
        QCOMPARE(result.senderAddress(), QStringLiteral("office@example.ru"));

        QCOMPARE(fileMode(path), 0600);
        MailAccount stored;
        QVERIFY2(stored.load(path), qPrintable(stored.errorText()));
        QCOMPARE(stored, result);

        // Stored and complete: no dialog.
        MailAccountDialog::setExecHandler([](MailAccountDialog&) {
            QFAIL("the dialog is not to be shown for a complete stored account");
        });
        MailAccount again;
        QVERIFY(MailAccountDialog::ensureAccount(nullptr, &again, path));
        QCOMPARE(again, result);
        QCOMPARE(messages.shown().size(), 4);
    }

    void cancelGivesFalseAndStoresNothing()
    {
        const QString path = freshPath("cancel");
        TestSupport::MessageRecorder messages;
        MailAccount untouched;
        untouched.setHost(QStringLiteral("kept.example.ru"));
        MailAccount result = untouched;
        MailAccountDialog::setExecHandler([](MailAccountDialog& dialog) {
            fillComplete(dialog);
            press(dialog, QDialogButtonBox::Cancel);
        });
        QVERIFY(!MailAccountDialog::ensureAccount(nullptr, &result, path));
        QCOMPARE(result, untouched);
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(messages.shown().isEmpty());

        // Closed without an answer counts as Cancel.
        MailAccountDialog::setExecHandler([](MailAccountDialog&) {});
        QVERIFY(!MailAccountDialog::ensureAccount(nullptr, &result, path));
        QVERIFY(!QFileInfo::exists(path));
    }

    // An incomplete stored account is offered for completion with every stored value.
    void anIncompleteStoredAccountIsCompleted()
    {
        const QString path = freshPath("incomplete");
        const QString ca = m_dir.filePath(QStringLiteral("private-ca.pem"));
        QFile caFile(ca);
        QVERIFY(caFile.open(QIODevice::WriteOnly));
        caFile.close();
        MailAccount partial;
        partial.setHost(QStringLiteral("mail.example.ru"));
        partial.setSecurity(MailAccount::Security::None);
        partial.setAllowPlaintext(true);
        partial.setPort(2525);
        partial.setLogin(QStringLiteral("office"));
        partial.setCaFile(ca);
        QVERIFY(partial.save(path));
        QVERIFY(!partial.isComplete());

        TestSupport::MessageRecorder messages;
        MailAccountDialog::setExecHandler([ca](MailAccountDialog& dialog) {
            QCOMPARE(field(dialog, "host")->text(), QStringLiteral("mail.example.ru"));
            QCOMPARE(field(dialog, "login")->text(), QStringLiteral("office"));
            QCOMPARE(security(dialog)->currentIndex(), 2);
            QCOMPARE(port(dialog)->value(), 2525);
            QVERIFY(allowPlaintext(dialog)->isChecked());
            QCOMPARE(field(dialog, "caFile")->text(), ca);
            field(dialog, "sender")->setText(QStringLiteral("office@example.ru"));
            press(dialog, QDialogButtonBox::Ok);
        });
        MailAccount result;
        QVERIFY(MailAccountDialog::ensureAccount(nullptr, &result, path));
        QVERIFY(messages.shown().isEmpty());
        MailAccount expected = partial;
        expected.setSenderAddress(QStringLiteral("office@example.ru"));
        QCOMPARE(result, expected);
        MailAccount stored;
        QVERIFY(stored.load(path));
        QCOMPARE(stored, expected);
    }

    // The permission to send the password without encryption means something only with "Без
    // шифрования", and then a warning stands beside it. A login without it, or a certificate
    // file that is not there, keeps the dialog open with the reason and stores nothing.
    void plaintextPermissionAndCertificateFile()
    {
        const QString path = freshPath("plaintext");
        TestSupport::MessageRecorder messages;
        MailAccountDialog dialog(path);
        QCheckBox* allow = allowPlaintext(dialog);
        QLabel* warning = dialog.findChild<QLabel*>("plaintextWarning");
        QVERIFY(allow && warning);
        QVERIFY(!allow->isEnabled());
        security(dialog)->setCurrentIndex(2);
        QVERIFY(allow->isEnabled());
        QVERIFY(warning->isHidden());
        allow->setChecked(true);
        QVERIFY(!warning->isHidden());
        QVERIFY(warning->text().contains(QStringLiteral("открытым текстом")));
        security(dialog)->setCurrentIndex(0);
        QVERIFY(!allow->isEnabled());
        QVERIFY(warning->isHidden());
        QVERIFY(!dialog.account().allowPlaintext());

        field(dialog, "host")->setText(QStringLiteral("relay.office.lan"));
        security(dialog)->setCurrentIndex(2);
        allow->setChecked(false);
        field(dialog, "login")->setText(QStringLiteral("office"));
        field(dialog, "password")->setText(QStringLiteral("секрет"));
        field(dialog, "sender")->setText(QStringLiteral("office@example.ru"));
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().last().text, dialog.account().plaintextRefusal());
        QVERIFY(!QFileInfo::exists(path));

        allow->setChecked(true);
        const QString ca = m_dir.filePath(QStringLiteral("office-ca.pem"));
        field(dialog, "caFile")->setText(ca);
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(messages.shown().size(), 2);
        QCOMPARE(messages.shown().last().text,
                 QStringLiteral("Файл сертификата «%1» не найден.").arg(ca));
        QVERIFY(!QFileInfo::exists(path));

        QFile caFile(ca);
        QVERIFY(caFile.open(QIODevice::WriteOnly));
        caFile.close();
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        MailAccount stored;
        QVERIFY(stored.load(path));
        QVERIFY(stored.allowPlaintext());
        QCOMPARE(stored.caFile(), ca);

        // A stored login without the permission (an older file) is asked about again.
        stored.setAllowPlaintext(false);
        QVERIFY(stored.save(path));
        bool asked = false;
        MailAccountDialog::setExecHandler([&](MailAccountDialog& shown) {
            asked = true;
            QVERIFY(!allowPlaintext(shown)->isChecked());
            allowPlaintext(shown)->setChecked(true);
            press(shown, QDialogButtonBox::Ok);
        });
        MailAccount result;
        QVERIFY(MailAccountDialog::ensureAccount(nullptr, &result, path));
        QVERIFY(asked);
        QCOMPARE(messages.shown().size(), 3);
        QCOMPARE(messages.shown().last().text, stored.plaintextRefusal());
        QVERIFY(result.allowPlaintext());
    }

    // A stored file that cannot be read is named before the dialog replaces it.
    void anUnreadableStoredAccountIsReportedAndReplaced()
    {
        const QString path = freshPath("damaged");
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Host=smtp.example.ru\nSecurity=Carrier pigeon\nSender=office@example.ru\n");
        file.close();

        TestSupport::MessageRecorder messages;
        MailAccountDialog::setExecHandler([&messages](MailAccountDialog& dialog) {
            QCOMPARE(messages.shown().size(), 1);
            fillComplete(dialog);
            press(dialog, QDialogButtonBox::Ok);
        });
        MailAccount result;
        QVERIFY(MailAccountDialog::ensureAccount(nullptr, &result, path));
        QCOMPARE(messages.shown().size(), 1);
        QCOMPARE(messages.shown().first().icon, QMessageBox::Critical);
        QVERIFY2(messages.shown().first().text.contains(QStringLiteral("Carrier pigeon")),
                 qPrintable(messages.shown().first().text));
        MailAccount stored;
        QVERIFY2(stored.load(path), qPrintable(stored.errorText()));
        QCOMPARE(stored, result);
        QCOMPARE(fileMode(path), 0600);
    }

    void aFileThatCannotBeWrittenKeepsTheDialogOpen()
    {
        // A folder where the file should be.
        const QString path = freshPath("blocked");
        QVERIFY(QDir().mkpath(path));
        TestSupport::MessageRecorder messages;
        MailAccountDialog dialog(path);
        fillComplete(dialog);
        press(dialog, QDialogButtonBox::Ok);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(messages.shown().size(), 1);
        QVERIFY2(messages.shown().first().text.startsWith(
                     QStringLiteral("Не удалось записать файл настроек почты")),
                 qPrintable(messages.shown().first().text));
    }
};

QTEST_MAIN(TestMailAccountDialog)
#include "tst_mailaccountdialog.moc"

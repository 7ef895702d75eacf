#include "MailAccount.h"
#include "TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

MailAccount sampleAccount()
{
    MailAccount account;
    account.setHost(QStringLiteral("smtp.example.ru"));
    account.setPort(465);
    account.setSecurity(MailAccount::Security::Ssl);
    account.setLogin(QStringLiteral("оператор"));
    account.setPassword(QStringLiteral(" p=a\\ss;#\nword\r\tx\x01 "));
    account.setSenderAddress(QStringLiteral("office@example.ru"));
    account.setCaFile(QStringLiteral("/tmp/ca file.pem"));
    return account;
}

constexpr QFileDevice::Permissions kOwnerReadWrite =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                             QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                             QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

class TestSmtpAccount : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void savesAndLoadsEveryFieldIntoANewOwnerOnlyFolder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("deep/Kalvent/mail-account.ini"));
        MailAccount account = sampleAccount();
        QVERIFY2(account.save(path), qPrintable(account.errorText()));

        QCOMPARE(QFile::permissions(path) & (kOwnerReadWrite | kOthers), kOwnerReadWrite);
        const QString folder = QFileInfo(path).absolutePath();
        QCOMPARE(QFile::permissions(folder) & kOthers, QFileDevice::Permissions());

        MailAccount loaded;
        QVERIFY2(loaded.load(path), qPrintable(loaded.errorText()));
        QCOMPARE(loaded.host(), account.host());
        QCOMPARE(loaded.port(), 465);
        QCOMPARE(loaded.security(), MailAccount::Security::Ssl);
        QCOMPARE(loaded.login(), account.login());
        QCOMPARE(loaded.password(), account.password());
        QCOMPARE(loaded.senderAddress(), account.senderAddress());
        QCOMPARE(loaded.caFile(), account.caFile());
        QVERIFY(loaded == account);

        // The password with its line breaks cannot add or change other settings.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        int passwordLines = 0;
        for (const QByteArray& line : lines)
            passwordLines += line.startsWith("Password=") ? 1 : 0;
        QCOMPARE(passwordLines, 1);
    }

    // The permission to log in without encryption is the file's to give: absent (a file from
    // before it, or edited by hand) it is not given, whatever the rest says.
    void aLoginWithoutEncryptionNeedsThePermissionInTheFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("mail-account.ini"));
        MailAccount account = sampleAccount();
        account.setSecurity(MailAccount::Security::None);
        QVERIFY(!account.plaintextRefusal().isEmpty());
        account.setAllowPlaintext(true);
        QVERIFY(account.plaintextRefusal().isEmpty());
        QVERIFY2(account.save(path), qPrintable(account.errorText()));
        MailAccount loaded;
        QVERIFY(loaded.load(path));
        QVERIFY(loaded.allowPlaintext());
        QVERIFY(loaded == account);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        QVERIFY(text.contains("\nAllowPlaintext=true\n"));
        text.replace("\nAllowPlaintext=true\n", "\n");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        QVERIFY(loaded.load(path));
        QVERIFY(!loaded.allowPlaintext());
        QVERIFY(!loaded.plaintextRefusal().isEmpty());
        // Without a login nothing secret goes out.
        loaded.setLogin(QString());
        QVERIFY(loaded.plaintextRefusal().isEmpty());
    }

    // The certificate file is read back even where the password cannot be (its store is away).
    void theCertificateFileIsReadWithoutThePassword()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("mail-account.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Account]\nHost=smtp.example.ru\nPort=587\nSecurity=StartTls\nLogin=op\n"
                   "PasswordStore=secret-store\nSender=office@example.ru\n"
                   "CaFile=/etc/ssl/office ca.pem\n");
        file.close();
        MailAccount account;
        QVERIFY(!account.load(path));
        QCOMPARE(MailAccount::storedCaFile(path), QStringLiteral("/etc/ssl/office ca.pem"));
        QCOMPARE(MailAccount::storedCaFile(dir.filePath(QStringLiteral("none.ini"))), QString());
    }

    void overwritingAWorldReadableFileLeavesItOwnerOnly()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mail-account.ini"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("Host=old\nPassword=old\n");
        }
        QVERIFY(QFile::setPermissions(path, kOwnerReadWrite | QFileDevice::ReadGroup |
                                                QFileDevice::ReadOther));
        MailAccount account = sampleAccount();
        account.setSecurity(MailAccount::Security::StartTls);
        account.setPort(587);
        QVERIFY2(account.save(path), qPrintable(account.errorText()));
        QCOMPARE(QFile::permissions(path) & (kOwnerReadWrite | kOthers), kOwnerReadWrite);

        MailAccount loaded;
        QVERIFY(loaded.load(path));
        QCOMPARE(loaded.security(), MailAccount::Security::StartTls);
        QCOMPARE(loaded.password(), account.password());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"mail-account.ini"});
    }

    void missingOrDamagedFileIsReportedAndKeepsTheAccount()
    {
        QTemporaryDir dir;
        MailAccount account = sampleAccount();
        QVERIFY(!account.load(dir.filePath(QStringLiteral("absent.ini"))));
        QVERIFY(account.errorText().contains(QStringLiteral("absent.ini")));
        QVERIFY(account == sampleAccount());

        const QString path = dir.filePath(QStringLiteral("bad.ini"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Host=x\nSecurity=Quantum\n");
        file.close();
        QVERIFY(!account.load(path));
        QVERIFY(account.errorText().contains(QStringLiteral("Quantum")));
        QVERIFY(account == sampleAccount());
    }

    void defaultPathIsInTheUsersConfigFolder()
    {
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QCOMPARE(MailAccount::defaultPath(), config + QStringLiteral("/Kalvent/mail-account.ini"));
    }

    void completeness_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("all set") << "smtp.example.ru" << 587 << "a@example.ru" << true << "";
        QTest::newRow("no host") << "  " << 587 << "a@example.ru" << false << "сервер";
        QTest::newRow("ipv6 host") << "::1" << 25 << "a@example.ru" << true << "";
        QTest::newRow("host with path")
            << "smtp.example.ru/x" << 25 << "a@x.ru" << false << "недопустимые";
        QTest::newRow("host with user")
            << "u@smtp.example.ru" << 25 << "a@x.ru" << false << "недопустимые";
        QTest::newRow("host with space")
            << "smtp example" << 25 << "a@x.ru" << false << "недопустимые";
        QTest::newRow("port zero") << "smtp.example.ru" << 0 << "a@example.ru" << false << "Порт";
        QTest::newRow("port too big") << "h" << 70000 << "a@example.ru" << false << "Порт";
        QTest::newRow("no sender") << "h" << 25 << "" << false << "отправителя";
        QTest::newRow("two senders") << "h" << 25 << "a@x.ru,b@x.ru" << false << "отправителя";
    }

    void completeness()
    {
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, sender);
        QFETCH(bool, complete);
        QFETCH(QString, reasonPart);
        MailAccount account;
        account.setHost(host);
        account.setPort(port);
        account.setSenderAddress(sender);
        QCOMPARE(account.isComplete(), complete);
        if (complete)
            QVERIFY(account.incompleteReason().isEmpty());
        else
            QVERIFY2(account.incompleteReason().contains(reasonPart),
                     qPrintable(account.incompleteReason()));
    }
};

QTEST_MAIN(TestSmtpAccount)
#include "tst_smtpaccount.moc"

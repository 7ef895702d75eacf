#include "../mailing/smtp/SmtpTestServer.h"
#include "CliSession.h"

#include "AppPaths.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DispatchSchedule.h"
#include "MailAccount.h"
#include "MailingRun.h"
#include "ReportBundle.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFileDevice>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

class TestCliMailing : public QObject
{
    Q_OBJECT

    CliSession m_cli;
    QString& m_out = m_cli.out;
    QString& m_err = m_cli.err;
    QTemporaryDir& m_dir = m_cli.dir;

    int run(const QStringList& args, const QByteArray& input = {})
    {
        return m_cli.run(args, input);
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestSupport::pinEnvironment();
        KALVENT_REQUIRE_SMTP_TOOLS();
    }

    void init() { m_cli.begin(QDateTime(QDate(2026, 12, 6), QTime(10, 0))); }
    void cleanup() { m_cli.end(); }

    void settingsAreCheckedLikeTheWindow()
    {
        QCOMPARE(run({"settings", "show"}), 0);
        QCOMPARE(m_out, QString("days=\ntimes=\ntems=\nsenders=\nnextdate=\n"));
        for (const QStringList& bad :
             {QStringList{"days", "1,,2"}, QStringList{"days", ","}, QStringList{"days", "1.5"},
              QStringList{"days", "0"}, QStringList{"days", "0,0"},
              QStringList{"times", "25:00:00"}, QStringList{"nextdate", "06.12.2026"},
              QStringList{"colour", "red"}, QStringList{"tems", ""}}) {
            QCOMPARE(run(QStringList{"settings", "set"} + bad), 2);
            QVERIFY(!m_err.isEmpty());
        }
        QCOMPARE(run({"settings", "set", "days", "1,5"}), 0);
        QCOMPARE(run({"settings", "set", "times", "09:05"}), 0);
        QCOMPARE(run({"settings", "set", "nextdate", "2026-12-07T12:00:00"}), 0);
        QCOMPARE(run({"settings", "show"}), 0);
        QCOMPARE(
            m_out,
            QString("days=1,5\ntimes=09:05:00\ntems=\nsenders=\nnextdate=2026-12-07T12:00:00\n"));
    }

    // Stored values the schedule cannot read stop the mailing loudly, never as "not due".
    void unreadableSettingsFailTheDispatch()
    {
        const QStringList usable{"days=7", "times=09:00:00", "tems=Отчеты",
                                 "senders=boss@example.ru", "nextdate=2026-12-10"};
        const QList<QStringList> broken{{"days", "0"}, {"times", "25:61"}, {"nextdate", "завтра"}};
        for (const QStringList& bad : broken) {
            SettingsStore store;
            for (const QString& pair : usable)
                QVERIFY(store.write(pair.section('=', 0, 0), pair.section('=', 1)));
            QCOMPARE(run({"dispatch"}), 0); // not due yet
            QVERIFY(store.write(bad[0], bad[1]));
            QCOMPARE(run({"dispatch"}), 1);
            QVERIFY2(m_err.contains("Внимание! Проверьте наличие всех настроек"),
                     qPrintable(m_err));
            QVERIFY(m_err.contains(bad[0]));
        }
        // A store of random bytes reads as no settings at all.
        QFile file(SettingsStore::location());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray noise;
        for (int i = 0; i < 512; ++i)
            noise += char((i * 7919 + 13) % 256);
        file.write(noise);
        file.close();
        QCOMPARE(run({"dispatch"}), 1);
        QVERIFY(m_err.contains("Проверьте наличие всех настроек"));
    }

    void accountIsStoredPrivately()
    {
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port", "70000", "--security",
                      "none", "--from", "k@example.com"}),
                 2);
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port", "25", "--security",
                      "tls", "--from", "k@example.com"}),
                 2);
        QCOMPARE(
            run({"account", "set", "--server", "mail.example.com", "--port", "587", "--security",
                 "starttls", "--login", "op", "--password-stdin", "--from", "k@example.com"},
                "секрет с пробелом\nnext line\n"),
            0);
        MailAccount account;
        QVERIFY(account.load());
        QCOMPARE(account.password(), QStringLiteral("секрет с пробелом"));
        QCOMPARE(account.security(), MailAccount::Security::StartTls);
        QCOMPARE(QFile::permissions(MailAccount::defaultPath()) & 0x0077,
                 QFileDevice::Permissions());
    }

    // A login without encryption is refused unless allowed; nothing is stored by a refusal.
    void aLoginWithoutEncryptionIsRefusedUnlessAllowed()
    {
        const QStringList plain{"account",      "set", "--server",         "127.0.0.1",
                                "--port",       "25",  "--security",       "none",
                                "--login",      "op",  "--password-stdin", "--from",
                                "k@example.com"};
        QFile::remove(MailAccount::defaultPath());
        QCOMPARE(run(plain, "секрет\n"), 2);
        QVERIFY2(m_err.contains(QStringLiteral("открытым текстом")) &&
                     m_err.contains("--allow-plaintext"),
                 qPrintable(m_err));
        QVERIFY(!QFileInfo::exists(MailAccount::defaultPath()));

        QCOMPARE(run(plain + QStringList{"--allow-plaintext"}, "секрет\n"), 0);
        QCOMPARE(run({"account", "show"}), 0);
        QVERIFY2(m_out.contains("\nallow-plaintext=yes\n"), qPrintable(m_out));
        MailAccount account;
        QVERIFY(account.load());
        QVERIFY(account.allowPlaintext());
        QCOMPARE(account.password(), QStringLiteral("секрет"));

        // Without a login nothing secret goes out: no permission needed, none stored.
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port", "25", "--security",
                      "none", "--from", "k@example.com"}),
                 0);
        QVERIFY(account.load());
        QVERIFY(!account.allowPlaintext());
    }

    // The certificate file of a private authority: checked when given, shown, kept when not
    // given again (also a line added by hand), dropped with an empty value.
    void theCertificateFileIsCheckedShownAndKept()
    {
        const QStringList set{"account", "set",          "--server",   "mail.office.lan",
                              "--port",  "587",          "--security", "starttls",
                              "--from",  "k@example.com"};
        const QString missing = m_dir.filePath("absent-ca.pem");
        QCOMPARE(run(set + QStringList{"--ca-file", missing}), 2);
        QVERIFY2(m_err.contains(QStringLiteral("Файл сертификата «%1» не найден").arg(missing)),
                 qPrintable(m_err));

        const QString ca = m_dir.filePath("office-ca.pem");
        QFile file(ca);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("-----BEGIN CERTIFICATE-----\n");
        file.close();
        QCOMPARE(run(set + QStringList{"--ca-file", ca}), 0);
        QCOMPARE(run({"account", "show"}), 0);
        QVERIFY2(m_out.contains("\nca-file=" + ca + "\n"), qPrintable(m_out));
        QCOMPARE(run(set), 0);
        MailAccount account;
        QVERIFY(account.load());
        QCOMPARE(account.caFile(), ca);

        // A line added by hand survives a later "account set".
        QCOMPARE(run(set + QStringList{"--ca-file", ""}), 0);
        QVERIFY(account.load());
        QCOMPARE(account.caFile(), QString());
        QFile stored(MailAccount::defaultPath());
        QVERIFY(stored.open(QIODevice::Append));
        stored.write(("CaFile=" + ca + "\n").toUtf8());
        stored.close();
        QCOMPARE(run(set), 0);
        QVERIFY(account.load());
        QCOMPARE(account.caFile(), ca);
    }

    void exportSendNowAndDispatch()
    {
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("out"), {}), qPrintable(server.errorOutput()));
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port",
                      QString::number(server.port()), "--security", "none", "--from",
                      "kalvent@example.com"}),
                 0);
        QCOMPARE(run({"source", "add", QStringLiteral("Газета")}), 0);
        QCOMPARE(run({"add", "--service", "A", "--source", QStringLiteral("Газета"), "--date",
                      "2026-12-01"}),
                 0);

        const QString dir = m_dir.filePath("elsewhere");
        QCOMPARE(run({"export", "--days", "7", "--dir", dir}), 0);
        QCOMPARE(m_out.split('\n', Qt::SkipEmptyParts), ReportBundle::filePaths(dir));
        QFile poist(ReportBundle::filePaths(dir).first());
        QVERIFY(poist.open(QIODevice::ReadOnly));
        QVERIFY(
            QString::fromUtf8(poist.readAll()).contains(QStringLiteral("29.11.2026 - 06.12.2026")));
        QCOMPARE(run({"export", "--days", "x"}), 2);

        for (const char* key : {"days", "times", "tems", "senders", "nextdate"})
            QCOMPARE(run({"settings", "set", key,
                          QMap<QString, QString>{{"days", "7"},
                                                 {"times", "09:00:00"},
                                                 {"tems", QStringLiteral("Реклама")},
                                                 {"senders", "boss@example.com"},
                                                 {"nextdate", "2026-12-08"}}
                              .value(key)}),
                     0);
        QCOMPARE(run({"send-now"}), 0);
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(SettingsStore().read("nextdate"), QString("2026-12-08"));

        QCOMPARE(run({"dispatch"}), 0);
        QCOMPARE(m_out, QString("not due\n"));
        QCOMPARE(run({"settings", "set", "nextdate", "2026-12-06"}), 0);
        QCOMPARE(run({"dispatch"}), 0);
        QVERIFY(m_out.endsWith("next dispatch: 2026-12-13\n"));
        QCOMPARE(server.received().size(), 2);
        const QJsonObject message = server.received().last().value("message").toObject();
        QCOMPARE(message.value("subject").toString(), QStringLiteral("Реклама"));
        QCOMPARE(message.value("attachments").toArray().size(), 4);
        QCOMPARE(run({"dispatch"}), 0);
        QCOMPARE(server.received().size(), 2);

        // The server refuses the recipient: status 1, the date still moves on.
        QCOMPARE(run({"settings", "set", "senders", "nobody@example.com"}), 0);
        QCOMPARE(run({"settings", "set", "nextdate", "2026-12-06"}), 0);
        server.stop();
        QCOMPARE(run({"dispatch"}), 1);
        QVERIFY(!m_err.isEmpty());
        QCOMPARE(SettingsStore().read("nextdate"), QString("2026-12-13"));

        // The mail was kept; by hand it goes out once the server is back.
        QCOMPARE(run({"outbox", "list"}), 0);
        const QStringList kept = m_out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(kept.size(), 1);
        QVERIFY2(kept.first().contains("nobody@example.com") && kept.first().contains("tries: 1"),
                 qPrintable(kept.first()));
        QCOMPARE(run({"outbox", "drop", "no-such-mail"}), 2);
        QVERIFY2(server.start(m_dir.filePath("out-again"), {}), qPrintable(server.errorOutput()));
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port",
                      QString::number(server.port()), "--security", "none", "--from",
                      "kalvent@example.com"}),
                 0);
        QCOMPARE(run({"outbox", "retry"}), 0);
        QCOMPARE(m_out, QString("outbox: 1 delivered, 0 still kept\n"));
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(run({"outbox", "list"}), 0);
        QCOMPARE(m_out, QString());
    }

    // A link planted in the reports folder, in another folder written to, or in the outbox
    // never leads a write or a removal to its target.
    void linksAreNotFollowed()
    {
        QCOMPARE(run({"source", "add", QStringLiteral("Газета")}), 0);
        const QString victim = m_dir.filePath("victim");
        QVERIFY(QDir().mkpath(victim));
        QFile mine(victim + "/precious.txt");
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("precious") == 8);
        mine.close();

        const QString shared = m_dir.filePath("shared");
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(QFile::link(mine.fileName(), shared + "/poist.htm"));
        QCOMPARE(run({"export", "--days", "7", "--dir", shared}), 0);
        QVERIFY(!QFileInfo(shared + "/poist.htm").isSymLink());
        QVERIFY(QFileInfo(shared + "/poist.htm").size() > 8);

        // A reports folder that is a link is refused.
        const QString linkedSend = m_dir.filePath("linked-send");
        QVERIFY(QFile::link(victim, linkedSend));
        QCOMPARE(run({"export", "--days", "7", "--dir", linkedSend}), 1);
        QVERIFY(m_err.contains(QStringLiteral("символическая ссылка")));
        QCOMPARE(QDir(victim).entryList(QDir::Files), QStringList{"precious.txt"});

        // An outbox entry that is a link is no entry: drop leaves its target alone.
        const QString outbox = MailingRun().outboxDir();
        QVERIFY(QDir().mkpath(outbox));
        QFile description(victim + "/mail.json");
        QVERIFY(description.open(QIODevice::WriteOnly));
        description.write(R"({"created": "2026-12-01T09:00:00", "recipient": "a@b.ru",
                              "tries": 1, "files": ["precious.txt"]})");
        description.close();
        QVERIFY(QFile::link(victim, outbox + "/20261201-090000-abcd"));
        QCOMPARE(run({"outbox", "list"}), 0);
        QCOMPARE(m_out, QString());
        QCOMPARE(run({"outbox", "drop", "20261201-090000-abcd"}), 2);
        QVERIFY(mine.open(QIODevice::ReadOnly));
        QCOMPARE(mine.readAll(), QByteArray("precious"));
    }

    void dispatchWithoutAccountKeepsTheDate()
    {
        QFile::remove(MailAccount::defaultPath());
        SettingsStore store;
        store.write("days", "7");
        store.write("times", "09:00:00");
        store.write("tems", "x");
        store.write("senders", "boss@example.com");
        store.write("nextdate", "2026-12-06");
        QCOMPARE(run({"dispatch"}), 1);
        QVERIFY(m_err.contains("account set"));
        QCOMPARE(store.read("nextdate"), QString("2026-12-06"));
        QCOMPARE(run({"send-now"}), 1);
    }
};

QTEST_MAIN(TestCliMailing)
#include "tst_climailing.moc"

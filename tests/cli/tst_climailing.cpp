#include "../mailing/smtp/SmtpTestServer.h"
#include "CliSession.h"

#include "AppPaths.h"
#include "CallStore.h"
#include "CliRunner.h"
#include "Clock.h"
#include "CloseQuestion.h"
#include "DataEnv.h"
#include "DispatchSchedule.h"
#include "DispatchTimer.h"
#include "MailAccount.h"
#include "MailingRun.h"
#include "ReportBundle.h"
#include "SettingsStore.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFileDevice>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QRegularExpression>
#include <QScopeGuard>
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
        QCOMPARE(run({"service", "add", "A"}), 0);
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
        QCOMPARE(m_out, QStringLiteral("Срок отправки не настал\n"));
        QCOMPARE(run({"settings", "set", "nextdate", "2026-12-06"}), 0);
        QCOMPARE(run({"dispatch"}), 0);
        QVERIFY(m_out.endsWith(QStringLiteral("Следующая отправка: 2026-12-13\n")));
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
        QVERIFY2(kept.first().contains("nobody@example.com") &&
                     kept.first().contains(QStringLiteral("попыток: 1")),
                 qPrintable(kept.first()));
        QCOMPARE(run({"outbox", "drop", "no-such-mail"}), 2);
        QVERIFY2(server.start(m_dir.filePath("out-again"), {}), qPrintable(server.errorOutput()));
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port",
                      QString::number(server.port()), "--security", "none", "--from",
                      "kalvent@example.com"}),
                 0);
        QCOMPARE(run({"outbox", "retry"}), 0);
        QCOMPARE(m_out, QStringLiteral("Исходящие: доставлено 1, осталось 0\n"));
        QCOMPARE(server.received().size(), 1);
        QCOMPARE(run({"outbox", "list"}), 0);
        QCOMPARE(m_out, QString());
    }

    // The summary option: off, the mail is the mail text and the four reports; on, the text
    // and an HTML alternative (with the chart inline) carry the figures of the mailing period,
    // computed here from the calls and spend entered; a kept mail keeps its summary. The
    // process runs in the C locale (as from cron with LANG=C), the figures are written in
    // Russian all the same.
    void digestOptionPutsTheSummaryInTheMail()
    {
        const QLocale pinned;
        QLocale::setDefault(QLocale::c());
        const auto restore = qScopeGuard([&] { QLocale::setDefault(pinned); });
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral("."));
        SmtpTestServer server;
        QVERIFY2(server.start(m_dir.filePath("digest-out"), {}), qPrintable(server.errorOutput()));
        const QString account = QString::number(server.port());
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port", account, "--security",
                      "none", "--from", "kalvent@example.com"}),
                 0);
        for (const QStringList& setting :
             {QStringList{"days", "7"}, QStringList{"times", "09:00:00"},
              QStringList{"tems", QStringLiteral("Реклама за неделю")},
              QStringList{"senders", "boss@example.com"}, QStringList{"nextdate", "2026-12-20"}})
            QCOMPARE(run(QStringList{"settings", "set"} + setting), 0);

        // Today is 06.12.2026: the mailing period is 29.11-06.12 (8 days), the one before it
        // 21.11-28.11. Spend is entered for December only, in multiples of 31 roubles, so the
        // period's share (6 of 31 days) is whole.
        struct Source
        {
            QString name;
            qint64 decemberRoubles; // 0: none entered
            int calls;              // in the period
            int booked;
        };
        const QList<Source> sources{
            {QStringLiteral("Газета"), 3100, 3, 2},   {QStringLiteral("Радио"), 6200, 2, 1},
            {QStringLiteral("Листовки"), 1550, 2, 2}, {QStringLiteral("Сайт"), 9300, 4, 3},
            {QStringLiteral("ТВ"), 31000, 2, 1},      {QStringLiteral("Баннер"), 12400, 3, 1},
            {QStringLiteral("Журнал"), 4650, 1, 1},   {QStringLiteral("Соседи"), 0, 2, 1},
            {QStringLiteral("Выставка"), 3100, 1, 0},
        };
        const QDate from(2026, 11, 29);
        qint64 calls = 0;
        qint64 booked = 0;
        QCOMPARE(run({"service", "add", "A"}), 0);
        auto add = [&](const QString& source, const QDate& date, bool isBooked) {
            QStringList args{
                "add", "--service", "A", "--source", source, "--date", date.toString(Qt::ISODate)};
            if (isBooked)
                args << "--booked";
            QVERIFY2(run(args) == 0, qPrintable(m_err));
            if (date >= from && date <= QDate(2026, 12, 6)) {
                ++calls;
                booked += isBooked;
            }
        };
        int n = 0;
        for (const Source& source : sources) {
            QCOMPARE(run({"source", "add", source.name}), 0);
            if (source.decemberRoubles)
                QCOMPARE(run({"spend", "set", "--source", source.name, "--month", "2026-12",
                              "--amount", QString::number(source.decemberRoubles)}),
                         0);
            for (int i = 0; i < source.calls; ++i)
                add(source.name, from.addDays(n++ % 8), i < source.booked);
        }
        // Stored by another program before the lists' rule: a source in no list.
        QVERIFY(DataEnv::instance()->connect());
        QVERIFY(DataEnv::instance()->calls().add(
            Call{QDate(2026, 12, 3), "A", QStringLiteral("Прохожие"), true, QTime()}));
        ++calls;
        ++booked;
        add(QStringLiteral("Газета"), QDate(2026, 12, 7), true); // after the period
        qint64 previousCalls = 0;
        qint64 previousBooked = 0;
        for (int i = 0; i < 7; ++i) {
            add(QStringLiteral("Радио"), QDate(2026, 11, 21).addDays(i), i < 4);
            ++previousCalls;
            previousBooked += i < 4;
        }
        add(QStringLiteral("Радио"), QDate(2026, 11, 20), true); // before the previous period

        auto percent = [](double share) {
            return QString::number(share * 100, 'f', 1).replace('.', ',') + "\u00A0%";
        };
        auto money = [](qint64 kopecks) {
            QString whole = QString::number(kopecks / 100);
            for (int at = int(whole.size()) - 3; at > 0; at -= 3)
                whole.insert(at, QChar(0x00A0));
            return whole + ',' + QString::number(kopecks % 100).rightJustified(2, '0');
        };
        struct Cost
        {
            QString name;
            qint64 perBooking;
            qint64 spend;
            int booked;
        };
        QList<Cost> costs;
        for (const Source& source : sources) {
            const qint64 spend = source.decemberRoubles * 100 * 6 / 31;
            if (spend > 0 && source.booked > 0)
                costs.append({source.name, (2 * spend + source.booked) / (2 * source.booked), spend,
                              source.booked});
        }
        std::stable_sort(costs.begin(), costs.end(),
                         [](const Cost& a, const Cost& b) { return a.perBooking < b.perBooking; });
        QCOMPARE(costs.size(), 7);
        auto line = [&](int place, const Cost& c) {
            return QStringLiteral(
                       "%1. %2: %3\u00A0руб. за запись (записей: %4, расход: %5\u00A0руб.)")
                .arg(place)
                .arg(c.name, money(c.perBooking))
                .arg(c.booked)
                .arg(money(c.spend));
        };
        const QStringList ranking{QStringLiteral("Самая низкая цена записи:"),
                                  line(1, costs.at(0)),
                                  line(2, costs.at(1)),
                                  line(3, costs.at(2)),
                                  QStringLiteral("Самая высокая цена записи:"),
                                  line(1, costs.at(6)),
                                  line(2, costs.at(5)),
                                  line(3, costs.at(4))};
        auto change = [&](qint64 now, qint64 before) {
            const double share = double(now - before) / double(before);
            return (share > 0 ? "+" : "\u2212") + percent(std::abs(share));
        };
        const QStringList figures{QStringLiteral("Звонков: %1 (было %2, %3)")
                                      .arg(calls)
                                      .arg(previousCalls)
                                      .arg(change(calls, previousCalls)),
                                  QStringLiteral("Записей: %1 (было %2, %3)")
                                      .arg(booked)
                                      .arg(previousBooked)
                                      .arg(change(booked, previousBooked)),
                                  QStringLiteral("Доля записей: %1 (было %2,")
                                      .arg(percent(double(booked) / calls),
                                           percent(double(previousBooked) / previousCalls))};
        const QString period = QStringLiteral(
            "Сводка за 29.11.2026 – 06.12.2026 в сравнении с 21.11.2026 – 28.11.2026");

        const QStringList four{"poist.htm", "pousl.htm", "point.htm", "podates.htm"};
        auto attachments = [](const QJsonObject& message) {
            QStringList names;
            for (const QJsonValue& part : message.value("attachments").toArray())
                names << part["filename"].toString();
            return names;
        };
        const QStringList plain{"multipart/mixed", "  text/plain", "  text/html",
                                "  text/html",     "  text/html",  "  text/html"};

        QCOMPARE(run({"settings", "digest"}), 0);
        QCOMPARE(m_out, QString("off\n"));
        QCOMPARE(run({"send-now"}), 0);
        QJsonObject message = server.received().last().value("message").toObject();
        QCOMPARE(message.value("structure").toVariant().toStringList(), plain);
        QCOMPARE(message.value("body").toString(), QStringLiteral("Реклама за неделю"));
        QCOMPARE(attachments(message), four);

        QCOMPARE(run({"settings", "digest", "on"}), 0);
        QCOMPARE(run({"settings", "digest"}), 0);
        QCOMPARE(m_out, QString("on\n"));
        auto checkDigest = [&](const QJsonObject& mail) {
            QCOMPARE(mail.value("subject").toString(), QStringLiteral("Реклама за неделю"));
            QCOMPARE(mail.value("defects").toArray(), QJsonArray());
            QCOMPARE(mail.value("structure").toVariant().toStringList(),
                     QStringList({"multipart/mixed", "  multipart/alternative", "    text/plain",
                                  "    multipart/related", "      text/html", "      image/png",
                                  "  text/html", "  text/html", "  text/html", "  text/html"}));
            QCOMPARE(attachments(mail), four);
            const QJsonArray parts = mail.value("parts").toArray();
            const QStringList text = parts.at(0)["text"].toString().split("\r\n");
            QCOMPARE(text.first(), QStringLiteral("Реклама за неделю"));
            QVERIFY2(text.contains(period), qPrintable(text.join('\n')));
            for (const QString& figure : figures)
                QVERIFY2(text.join('\n').contains(figure), qPrintable(figure));
            const qsizetype first = text.indexOf(ranking.first());
            QVERIFY2(first > 0, qPrintable(text.join('\n')));
            QCOMPARE(text.mid(first, ranking.size()), ranking);
            QVERIFY(!text.join('\n').contains(costs.at(3).name)); // the middle one
            QVERIFY(text.contains(
                QStringLiteral("Без расходов (в сравнение цены записи не вошли): Соседи")));
            QVERIFY(text.contains(
                QStringLiteral("Без записей (в сравнение цены записи не вошли): Выставка")));

            const QString html = parts.at(1)["text"].toString();
            QVERIFY2(html.contains(QStringLiteral("<p>Реклама за неделю</p>")), qPrintable(html));
            QVERIFY(html.contains(period));
            for (const QString& figure : figures)
                QVERIFY2(html.contains(figure), qPrintable(figure));
            qsizetype at = 0;
            for (int place : {0, 1, 2, 6, 5, 4}) {
                at = html.indexOf(QStringLiteral("<td>%1</td><td align=\"right\">%2</td>")
                                      .arg(costs.at(place).name, money(costs.at(place).perBooking)),
                                  at);
                QVERIFY2(at > 0, qPrintable(costs.at(place).name));
            }
            const QRegularExpressionMatch cid =
                QRegularExpression("<img src=\"cid:([^\"]+)\"").match(html);
            QVERIFY(cid.hasMatch());
            QCOMPARE(parts.at(2)["content_id"].toString(), '<' + cid.captured(1) + '>');
            const QByteArray png =
                QByteArray::fromBase64(parts.at(2)["data"].toString().toLatin1());
            QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
            QVERIFY(!QImage::fromData(png, "PNG").isNull());
        };
        QCOMPARE(run({"send-now"}), 0);
        checkDigest(server.received().last().value("message").toObject());

        // With the analysis attached too, it comes fifth; the summary stays the body.
        QCOMPARE(run({"settings", "analysis", "on"}), 0);
        QCOMPARE(run({"send-now"}), 0);
        message = server.received().last().value("message").toObject();
        QCOMPARE(attachments(message), four + QStringList{"analiz.htm"});
        QCOMPARE(message.value("structure").toVariant().toStringList().mid(0, 3),
                 QStringList({"multipart/mixed", "  multipart/alternative", "    text/plain"}));
        QCOMPARE(run({"settings", "analysis", "off"}), 0);

        // A mail kept while the server was away goes out later with its summary as the body.
        server.stop();
        QCOMPARE(run({"send-now"}), 1);
        QCOMPARE(run({"settings", "digest", "off"}), 0);
        QVERIFY2(server.start(m_dir.filePath("digest-out-again"), {}),
                 qPrintable(server.errorOutput()));
        QCOMPARE(run({"account", "set", "--server", "127.0.0.1", "--port",
                      QString::number(server.port()), "--security", "none", "--from",
                      "kalvent@example.com"}),
                 0);
        QCOMPARE(run({"outbox", "retry"}), 0);
        QCOMPARE(m_out, QStringLiteral("Исходящие: доставлено 1, осталось 0\n"));
        checkDigest(server.received().last().value("message").toObject());

        // Off again: the plain mail as before.
        QCOMPARE(run({"send-now"}), 0);
        message = server.received().last().value("message").toObject();
        QCOMPARE(message.value("structure").toVariant().toStringList(), plain);
        QCOMPARE(message.value("body").toString(), QStringLiteral("Реклама за неделю"));
        QCOMPARE(run({"settings", "digest", "maybe"}), 2);
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

    // The background mailing through a stand-in for systemctl that answers as systemd does: the
    // arguments it is given, its answers read, the next mail told from the stored settings; and
    // the question on closing the window, which turns the timer on through the same code.
    void scheduleDrivesTheUserTimer()
    {
        TestSupport::FakeSystemctl systemctl;
        const QString show = "--user show --timestamp=unix -p LoadState -p UnitFileState -p "
                             "ActiveState -p NextElapseUSecRealtime kalvent-dispatch.timer";
        SettingsStore store;
        for (const auto& [key, value] : {std::pair{"days", "7"},
                                         {"times", "09:00:00"},
                                         {"tems", "x"},
                                         {"senders", "boss@example.com"},
                                         {"nextdate", "2026-12-13"}})
            QVERIFY(store.write(key, value));

        QCOMPARE(run({"schedule", "status"}), 0);
        QCOMPARE(systemctl.takeCalls(), QStringList{show});
        QCOMPARE(m_out, QStringLiteral("Фоновая рассылка: выключена; отчеты уходят, только пока "
                                       "открыто окно программы.\n"
                                       "Следующая рассылка отчетов: 13.12.2026 09:00.\n"
                                       "Следующая резервная копия: сегодня, при ближайшем запуске "
                                       "таймера или окна программы.\n"));
        QCOMPARE(run({"schedule", "on"}), 0);
        QCOMPARE(systemctl.takeCalls(),
                 QStringList({"--user enable --now kalvent-dispatch.timer", show}));
        QCOMPARE(m_out, QStringLiteral("Фоновая рассылка: включена.\n"
                                       "Следующий запуск таймера: 06.12.2026 10:05.\n"
                                       "Следующая рассылка отчетов: 13.12.2026 09:00.\n"
                                       "Следующая резервная копия: сегодня, при ближайшем запуске "
                                       "таймера или окна программы.\n"));
        // Overdue, and unreadable settings.
        QVERIFY(store.write("nextdate", "2026-12-05"));
        QCOMPARE(run({"schedule", "status"}), 0);
        QVERIFY2(m_out.contains(QStringLiteral("срок наступил 05.12.2026 09:00, отчеты уйдут при "
                                               "ближайшем запуске.\n")),
                 qPrintable(m_out));
        QVERIFY(store.write("times", "9 утра"));
        QCOMPARE(run({"schedule", "status"}), 0);
        QVERIFY2(m_out.contains(QStringLiteral("не назначена (не заданы или не читаются "
                                               "настройки times).\n")),
                 qPrintable(m_out));
        QVERIFY(store.write("times", "09:00:00"));
        QVERIFY(store.write("nextdate", "2026-12-13"));
        systemctl.takeCalls();
        QCOMPARE(run({"schedule", "off"}), 0);
        QCOMPARE(systemctl.takeCalls(),
                 QStringList({"--user disable --now kalvent-dispatch.timer", show}));
        QVERIFY(m_out.startsWith(QStringLiteral("Фоновая рассылка: выключена;")));

        // Closing the window asks only while the mailing is set up and the timer is off; the
        // answer "in the background" turns the timer on.
        DispatchTimer timer;
        CloseQuestion question(timer);
        QVERIFY(question.isNeeded(store));
        QCOMPARE(question.answer(CloseQuestion::Answer::Tray), CloseQuestion::Step::ToTray);
        QCOMPARE(question.answer(CloseQuestion::Answer::Quit), CloseQuestion::Step::Close);
        systemctl.takeCalls();
        QCOMPARE(question.answer(CloseQuestion::Answer::Background), CloseQuestion::Step::Close);
        QCOMPARE(systemctl.takeCalls(), QStringList{"--user enable --now kalvent-dispatch.timer"});
        QVERIFY(!question.isNeeded(store));
        systemctl.set("on", false);
        QVERIFY(store.write("senders", ""));
        QVERIFY(!question.isNeeded(store));
        QVERIFY(store.write("senders", "boss@example.com"));

        // A timer not installed: said so, and turning it on fails with systemd's words.
        systemctl.set("missing", true);
        QCOMPARE(run({"schedule", "status"}), 0);
        QVERIFY(m_out.startsWith(
            QStringLiteral("Фоновая рассылка: таймер kalvent-dispatch.timer не установлен.")));
        QCOMPARE(run({"schedule", "on"}), 1);
        QVERIFY2(m_err.contains("kalvent-dispatch.timer does not exist"), qPrintable(m_err));
        QCOMPARE(question.answer(CloseQuestion::Answer::Background), CloseQuestion::Step::Stay);
        QVERIFY(question.errorText().startsWith(
            QStringLiteral("Не удалось включить фоновую рассылку")));

        // No session bus: every command says so in Russian and fails; the status still tells
        // the next mail.
        systemctl.set("nobus", true);
        for (const char* command : {"on", "off", "status"}) {
            QCOMPARE(run({"schedule", command}), 1);
            QVERIFY2(m_err.contains(QStringLiteral("systemd этого пользователя недоступен")),
                     qPrintable(m_err));
        }
        QCOMPARE(m_out, QStringLiteral("Следующая рассылка отчетов: 13.12.2026 09:00.\n"
                                       "Следующая резервная копия: сегодня, при ближайшем запуске "
                                       "таймера или окна программы.\n"));
        QVERIFY(question.isNeeded(store));

        // No systemctl at all.
        qputenv("KALVENT_SYSTEMCTL", m_dir.filePath("no-such-program").toLocal8Bit());
        QCOMPARE(run({"schedule", "on"}), 1);
        QVERIFY2(m_err.contains(QStringLiteral("фоновая рассылка работает только с systemd")),
                 qPrintable(m_err));

        // Once today's copy is taken, the next one is tomorrow's.
        TestSupport::FakeSystemctl again;
        QCOMPARE(run({"backup"}), 0);
        QCOMPARE(run({"schedule", "status"}), 0);
        QVERIFY2(m_out.endsWith(QStringLiteral("Следующая резервная копия: %1, при первом запуске "
                                               "таймера или окна программы.\n")
                                    .arg(Clock::today().addDays(1).toString("dd.MM.yyyy"))),
                 qPrintable(m_out));
    }
};

QTEST_MAIN(TestCliMailing)
#include "tst_climailing.moc"

#include "MailingCommands.h"

#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DispatchLock.h"
#include "DispatchSchedule.h"
#include "MailAccount.h"
#include "MailingRun.h"
#include "MailingSettings.h"
#include "OnOffSetting.h"
#include "Outbox.h"
#include "Period.h"
#include "ReportBundle.h"
#include "ReportKind.h"
#include "SecretStore.h"
#include "SettingsStore.h"

#include <QFileInfo>
#include <QIODevice>

namespace {

// The command line's mailing: the stored account, or a word on how to store one.
MailingRun mailingRun(CliRunner& cli, const QString& dir = QString())
{
    MailingRun run(cli.env(), dir);
    run.setAccountSource([] {
        MailingRun::AccountChoice choice = MailingRun::storedAccount();
        if (!choice.ok)
            choice.reason = QStringLiteral("no usable mail account (%1); store one with "
                                           "\"kalvent-cli account set\"")
                                .arg(choice.reason);
        return choice;
    });
    return run;
}

// Delivers the kept mails that are due (all of them by hand) and says what happened.
int deliverKept(CliRunner& cli, MailingRun& run, bool byHand)
{
    const MailingRun::Redelivery round =
        run.deliverKept(Clock::now(), byHand, SettingsStore().read(MailingSettings::sendersKey));
    if (round.busy) {
        cli.out() << "outbox: another mailing is running\n";
        return int(CliRunner::Ok);
    }
    if (round.delivered + round.failed == 0) {
        if (byHand)
            cli.out() << "outbox: nothing to send\n";
        return int(CliRunner::Ok);
    }
    cli.out() << "outbox: " << round.delivered << " delivered, " << round.failed << " still kept\n";
    if (round.failed > 0 && !run.errorText().isEmpty())
        cli.err() << "kalvent-cli: " << run.errorText() << Qt::endl;
    return int(round.failed > 0 && byHand ? CliRunner::Failure : CliRunner::Ok);
}

QString passwordPlaceText(const MailAccount& account)
{
    switch (account.passwordPlace()) {
    case MailAccount::PasswordPlace::SecretStore:
        return QStringLiteral("password: in the desktop's secret store");
    case MailAccount::PasswordPlace::File: {
        QString why = account.secretStoreUnavailableReason();
        if (why.isEmpty() && SecretStore::system().isAvailable(&why))
            return QStringLiteral("password: in the account file (readable only by you); a "
                                  "secret store runs now: \"account set\" again moves it there");
        return QStringLiteral("password: in the account file (readable only by you); no "
                              "secret store: ") +
               why;
    }
    case MailAccount::PasswordPlace::None:
        break;
    }
    return QStringLiteral("password: none");
}

} // namespace

void MailingCommands::addTo(CliRunner& cli, QIODevice* input)
{
    cli.addCommand(
        "export", "export [--days N] [--dir DIR]",
        "Writes the four reports over the last N days (default: the stored period; a decimal\n"
        "comma is allowed, \"1,5\") as " +
            ReportKind::listed(ReportBundle::fileNames(), "and") +
            " into DIR\n"
            "(default: the Send folder beside the database).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"days", "dir"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString days = o.value("days", SettingsStore().read(MailingSettings::daysKey));
            if (!Period::parse(days))
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("the period \"%1\" is not a number of days").arg(days));
            MailingRun run = mailingRun(cli, o.value("dir"));
            if (!run.exportReports(days, Clock::now()))
                return cli.fail(CliRunner::Failure, run.errorText());
            for (const QString& path : ReportBundle::filePaths(run.sendDir()))
                cli.out() << path << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "send-now", "send-now",
        "Exports the four reports over the stored period and mails them to the stored\n"
        "recipient with the stored subject, through the stored mail account. The next dispatch\n"
        "date is not changed.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const MailingSettings settings = MailingSettings::read(SettingsStore());
            const QString days = settings.days();
            if (!Period::parse(days))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("the stored period \"%1\" is not a number of days; "
                                               "use \"kalvent-cli settings set days N\"")
                                    .arg(days));
            DispatchLock lock;
            if (!lock.takeHere())
                return cli.fail(CliRunner::Failure, QStringLiteral("Отправка отчетов уже идёт."));
            MailingRun run = mailingRun(cli);
            run.setSettings(settings);
            if (!run.exportReports(days, Clock::now()))
                return cli.fail(CliRunner::Failure, run.errorText());
            if (run.send(settings.senders(), settings.tems()) != MailingRun::Result::Sent)
                return cli.fail(CliRunner::Failure, run.errorText());
            cli.out() << "sent to " << settings.senders() << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "dispatch", "dispatch",
        "Runs one due test of the schedule, and the dispatch when it is due: export, mail,\n"
        "then the next date is stored. For cron on a machine without a screen.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            MailingRun run = mailingRun(cli);
            QString failure;
            bool mailFailed = false;
            DispatchSchedule::Hooks hooks;
            hooks.status = [&cli](const QString& text) { cli.out() << text << "\n"; };
            hooks.mailFailed = [&](const QString& error) {
                mailFailed = true;
                cli.err() << "kalvent-cli: " << error << Qt::endl;
            };
            hooks.failed = [&failure](const QString& message) { failure = message; };
            DispatchSchedule schedule(run, hooks);
            SettingsStore store;
            switch (schedule.tick(store, Clock::now())) {
            case DispatchSchedule::Result::NotDue:
                cli.out() << "not due\n";
                return deliverKept(cli, run, false);
            case DispatchSchedule::Result::Busy:
            case DispatchSchedule::Result::Deferred:
                cli.out() << "another dispatch is running\n";
                return int(CliRunner::Ok);
            case DispatchSchedule::Result::TooSoon:
                cli.out() << QStringLiteral("Прошлая отправка была меньше минуты назад: две "
                                            "отправки не бывают чаще раза в минуту.\n");
                return int(CliRunner::Ok);
            case DispatchSchedule::Result::Unusable:
                // Said on standard error, so that cron mails it.
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("Внимание! %1 (%2): %3")
                                    .arg(DispatchSchedule::unusableText(),
                                         MailingSettings::read(store).unusableKeys().join(", "),
                                         SettingsStore::location()));
            case DispatchSchedule::Result::Failed:
                return cli.fail(CliRunner::Failure, failure);
            case DispatchSchedule::Result::ElsewhereDispatched:
                cli.out() << "dispatched by another desk; next dispatch: "
                          << store.read(MailingSettings::nextdateKey) << "\n";
                return deliverKept(cli, run, false);
            case DispatchSchedule::Result::Dispatched:
                cli.out() << "next dispatch: " << store.read(MailingSettings::nextdateKey) << "\n";
                if (mailFailed)
                    return int(CliRunner::Failure);
                return deliverKept(cli, run, false);
            }
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "outbox list", "outbox list",
        "Lists the report mails kept after a failed delivery, one a line: ID, created, recipient,\n"
        "tries, last error.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const Outbox outbox(mailingRun(cli).outboxDir());
            for (const Outbox::Mail& mail : outbox.mails())
                cli.out() << mail.id << "  " << mail.created.toString("yyyy-MM-dd HH:mm:ss") << "  "
                          << mail.recipient << "  tries: " << mail.tries
                          << (mail.forGood ? "  (waits for a change)" : "") << "  "
                          << QString(mail.lastError).replace('\n', ' ') << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand("outbox retry", "outbox retry",
                   "Tries to deliver every kept report mail now, whatever failed before.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok())
                           return cli.fail(CliRunner::Usage, o.errorText());
                       MailingRun run = mailingRun(cli);
                       return deliverKept(cli, run, true);
                   });

    cli.addCommand("outbox drop", "outbox drop ID",
                   "Removes one kept report mail without sending it.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {}, {1, 1, "give ID"});
                       if (!o.ok())
                           return cli.fail(CliRunner::Usage, o.errorText());
                       Outbox outbox(mailingRun(cli).outboxDir());
                       if (!outbox.drop(o.positional().first()))
                           return cli.fail(CliRunner::Usage, outbox.errorText());
                       return int(CliRunner::Ok);
                   });

    cli.addCommand(
        "account set",
        "account set --server HOST --port N --security starttls|ssl|none [--login L] "
        "[--password-stdin] [--allow-plaintext] [--ca-file FILE] --from ADDRESS",
        "Stores the mail account used to send the reports (readable only by you). With\n"
        "--password-stdin the password is the first line of standard input. A login with\n"
        "--security none sends the password unencrypted and is refused without\n"
        "--allow-plaintext. --ca-file names a PEM file of certificate authorities to trust the\n"
        "server's certificate by (a private authority, a self-signed server); without it the\n"
        "stored one is kept, and --ca-file \"\" goes back to the system's authorities.",
        [&cli, input](const QStringList& args) {
            CliOptions o(args, {"server", "port", "security", "login", "from", "ca-file"},
                         {"password-stdin", "allow-plaintext"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QStringList securities{"starttls", "ssl", "none"};
            const int security = int(securities.indexOf(o.value("security")));
            if (security < 0)
                return cli.fail(CliRunner::Usage, "--security must be starttls, ssl or none");
            bool portOk = false;
            const int port = o.value("port").toInt(&portOk);
            if (!portOk || port < 1 || port > 65535)
                return cli.fail(CliRunner::Usage, "--port must be a number from 1 to 65535");
            MailAccount account;
            account.setHost(o.value("server"));
            account.setPort(port);
            account.setSecurity(security == 0   ? MailAccount::Security::StartTls
                                : security == 1 ? MailAccount::Security::Ssl
                                                : MailAccount::Security::None);
            account.setLogin(o.value("login"));
            account.setSenderAddress(o.value("from"));
            account.setAllowPlaintext(account.security() == MailAccount::Security::None &&
                                      o.has("allow-plaintext"));
            const QString caFile = o.value("ca-file");
            account.setCaFile(!o.has("ca-file")  ? MailAccount::storedCaFile()
                              : caFile.isEmpty() ? QString()
                                                 : QFileInfo(caFile).absoluteFilePath());
            if (o.has("password-stdin")) {
                QByteArray line = input ? input->readLine() : QByteArray();
                while (line.endsWith('\n') || line.endsWith('\r'))
                    line.chop(1);
                account.setPassword(QString::fromUtf8(line));
            }
            if (!account.isComplete())
                return cli.fail(CliRunner::Usage, account.incompleteReason());
            if (!account.plaintextRefusal().isEmpty())
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("Вход по имени «%1» без шифрования отправил бы "
                                               "пароль открытым текстом. Выберите --security "
                                               "starttls или ssl, а если сервер иначе не умеет — "
                                               "добавьте --allow-plaintext.")
                                    .arg(account.login()));
            if (o.has("ca-file") && !account.caFileProblem().isEmpty())
                return cli.fail(CliRunner::Usage, account.caFileProblem());
            if (!account.save())
                return cli.fail(CliRunner::Failure, account.errorText());
            cli.out() << passwordPlaceText(account) << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "account show", "account show",
        "Prints the stored mail account (never the password) and where its password is kept:\n"
        "the desktop's secret store, or the account file where no secret store runs.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            MailAccount account;
            if (!account.load())
                return cli.fail(CliRunner::Failure, account.errorText());
            const char* securities[] = {"starttls", "ssl", "none"};
            cli.out() << "file=" << MailAccount::defaultPath() << "\n"
                      << "server=" << account.host() << "\n"
                      << "port=" << account.port() << "\n"
                      << "security=" << securities[int(account.security())] << "\n"
                      << "login=" << account.login() << "\n"
                      << "from=" << account.senderAddress() << "\n"
                      << "ca-file=" << account.caFile() << "\n"
                      << "allow-plaintext=" << (account.allowPlaintext() ? "yes" : "no") << "\n"
                      << passwordPlaceText(account) << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand("settings show", "settings show",
                   "Prints the five mailing settings as key=value lines.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {});
                       if (!o.ok())
                           return cli.fail(CliRunner::Usage, o.errorText());
                       SettingsStore store;
                       for (const QString& key : MailingSettings::keys())
                           cli.out() << key << "=" << store.read(key) << "\n";
                       return int(CliRunner::Ok);
                   });

    cli.addCommand(
        "settings set", "settings set KEY VALUE",
        "Stores one mailing setting. KEY is days (a number of days, decimal comma allowed),\n"
        "times (HH:MM:SS), tems (subject and text of the mail), senders (the recipient) or\n"
        "nextdate (YYYY-MM-DD, or YYYY-MM-DDTHH:MM:SS).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {}, {2, 2, "give KEY and VALUE"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString key = o.positional()[0];
            QString value = o.positional()[1];
            if (!MailingSettings::keys().contains(key))
                return cli.fail(CliRunner::Usage,
                                "KEY must be one of " + MailingSettings::keys().join(", "));
            if (key == MailingSettings::daysKey && !MailingSettings::isUsablePeriod(value))
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("the period \"%1\" is not a number of days").arg(value));
            if (key == MailingSettings::timesKey) {
                const QTime time = MailingSettings::parseTime(value);
                if (!time.isValid())
                    return cli.fail(CliRunner::Usage, "times must be a time of day HH:MM:SS");
                value = MailingSettings::timeText(time);
            }
            if (key == MailingSettings::nextdateKey) {
                const QDateTime next = MailingSettings::parseNextDate(value);
                if (!next.isValid())
                    return cli.fail(CliRunner::Usage,
                                    "nextdate must be YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS");
                value = MailingSettings::nextDateText(next);
            }
            if (value.isEmpty())
                return cli.fail(CliRunner::Usage,
                                "an empty value would leave the settings incomplete");
            SettingsStore store;
            if (!store.write(key, value))
                return cli.fail(CliRunner::Failure, store.errorText());
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "settings digest", "settings digest [on|off]",
        "Whether the report mail carries a summary of the mailing period in its text: the\n"
        "calls, bookings and booking rate against the period before, the sources with the\n"
        "lowest and highest cost per booking and a chart of the calls per day, as HTML with a\n"
        "plain-text alternative (off unless switched on: the mail text alone is the body).\n"
        "Without an argument, prints on or off.",
        [&cli](const QStringList& args) {
            return OnOffSetting::run(cli, args, MailingSettings::digestKey);
        });
}

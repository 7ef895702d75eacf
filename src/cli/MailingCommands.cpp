#include "MailingCommands.h"

#include "AppPaths.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "LocaleText.h"
#include "MailAccount.h"
#include "MailAddress.h"
#include "MailingSettings.h"
#include "Period.h"
#include "ReportDispatch.h"
#include "ReportExport.h"
#include "ReportMailer.h"
#include "SettingsStore.h"

#include <QIODevice>

namespace {

// Exports with the stored (or given) period and mails with the stored settings and account.
struct Mailing
{
    CliRunner& cli;
    SettingsStore store;
    QString error;

    bool exportReports(const QString& days, const QString& dir)
    {
        ReportExport exporter(cli.env());
        if (!exporter.run(days, Clock::now(), dir)) {
            error = exporter.errorText();
            return false;
        }
        return true;
    }

    ReportDispatch::SendResult send()
    {
        MailAccount account;
        if (!account.load() || !account.isComplete()) {
            error = QStringLiteral("no usable mail account (%1); store one with "
                                   "\"kalvent-cli account set\"")
                        .arg(account.errorText().isEmpty() ? account.incompleteReason()
                                                           : account.errorText());
            return ReportDispatch::SendResult::SignOnFailed;
        }
        ReportMailer mailer;
        if (!mailer.send(store.read("senders"), store.read("tems"),
                         ReportExport::filePaths(AppPaths::sendDir()), account)) {
            error = mailer.errorText();
            return ReportDispatch::SendResult::MailFailed;
        }
        return ReportDispatch::SendResult::Sent;
    }
};

} // namespace

void MailingCommands::addTo(CliRunner& cli, QIODevice* input)
{
    cli.addCommand(
        "export", "export [--days N] [--dir DIR]",
        "Writes the four reports over the last N days (default: the stored period; a decimal\n"
        "comma is allowed, \"1,5\") as poist.htm, pousl.htm, point.htm and podates.htm into DIR\n"
        "(default: the Send folder beside the database).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"days", "dir"}, {});
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.error());
            Mailing mailing{cli, {}, {}};
            const QString days = o.value("days", mailing.store.read("days"));
            if (!Period::parse(days))
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("the period \"%1\" is not a number of days").arg(days));
            const QString dir = o.value("dir", AppPaths::sendDir());
            if (!mailing.exportReports(days, dir))
                return cli.fail(CliRunner::Failure, mailing.error);
            for (const QString& path : ReportExport::filePaths(dir))
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
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.error());
            Mailing mailing{cli, {}, {}};
            const QString days = mailing.store.read("days");
            if (!Period::parse(days))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("the stored period \"%1\" is not a number of days; "
                                               "use \"kalvent-cli settings set days N\"")
                                    .arg(days));
            if (!mailing.exportReports(days, AppPaths::sendDir()))
                return cli.fail(CliRunner::Failure, mailing.error);
            if (mailing.send() != ReportDispatch::SendResult::Sent)
                return cli.fail(CliRunner::Failure, mailing.error);
            cli.out() << "sent to " << mailing.store.read("senders") << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "dispatch", "dispatch",
        "Runs one due test of the schedule, and the dispatch when it is due: export, mail,\n"
        "then the next date is stored. For cron on a machine without a screen.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.error());
            Mailing mailing{cli, {}, {}};
            QString failure;
            bool mailFailed = false;
            ReportDispatch::Steps steps;
            steps.status = [&cli](const QString& text) { cli.out() << text << "\n"; };
            steps.load = [] {};
            steps.exportReports = [&](QString* error) {
                const bool ok =
                    mailing.exportReports(mailing.store.read("days"), AppPaths::sendDir());
                *error = mailing.error;
                return ok;
            };
            steps.send = [&](QString* error) {
                const auto result = mailing.send();
                *error = mailing.error;
                if (result == ReportDispatch::SendResult::MailFailed) {
                    mailFailed = true;
                    cli.err() << "kalvent-cli: " << mailing.error << Qt::endl;
                }
                return result;
            };
            steps.unload = [] {};
            steps.announce = [](const QString&) {};
            steps.failed = [&failure](const QString& message) { failure = message; };
            ReportDispatch dispatch(steps);
            switch (dispatch.tick(mailing.store, Clock::now())) {
            case ReportDispatch::Result::NotDue:
                cli.out() << "not due\n";
                return int(CliRunner::Ok);
            case ReportDispatch::Result::Busy:
            case ReportDispatch::Result::Deferred:
                cli.out() << "another dispatch is running\n";
                return int(CliRunner::Ok);
            case ReportDispatch::Result::Failed:
                return cli.fail(CliRunner::Failure, failure);
            case ReportDispatch::Result::Dispatched:
                cli.out() << "next dispatch: " << mailing.store.read("nextdate") << "\n";
                return int(mailFailed ? CliRunner::Failure : CliRunner::Ok);
            }
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "account set",
        "account set --server HOST --port N --security starttls|ssl|none [--login L] "
        "[--password-stdin] --from ADDRESS",
        "Stores the mail account used to send the reports (readable only by you). With\n"
        "--password-stdin the password is the first line of standard input.",
        [&cli, input](const QStringList& args) {
            CliOptions o(args, {"server", "port", "security", "login", "from"}, {"password-stdin"});
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.error());
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
            if (o.has("password-stdin")) {
                QByteArray line = input ? input->readLine() : QByteArray();
                while (line.endsWith('\n') || line.endsWith('\r'))
                    line.chop(1);
                account.setPassword(QString::fromUtf8(line));
            }
            if (!account.isComplete())
                return cli.fail(CliRunner::Usage, account.incompleteReason());
            if (!account.save())
                return cli.fail(CliRunner::Failure, account.errorText());
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "settings show", "settings show", "Prints the five mailing settings as key=value lines.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok() || !o.positional().isEmpty())
                return cli.fail(CliRunner::Usage, o.ok() ? "no arguments expected" : o.error());
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
            CliOptions o(args, {}, {});
            if (!o.ok() || o.positional().size() != 2)
                return cli.fail(CliRunner::Usage, o.ok() ? "give KEY and VALUE" : o.error());
            const QString key = o.positional()[0];
            QString value = o.positional()[1];
            if (!MailingSettings::keys().contains(key))
                return cli.fail(CliRunner::Usage,
                                "KEY must be one of " + MailingSettings::keys().join(", "));
            if (key == "days" && !Period::parse(value))
                return cli.fail(
                    CliRunner::Usage,
                    QStringLiteral("the period \"%1\" is not a number of days").arg(value));
            if (key == "times") {
                const QTime time = MailingSettings::parseTime(value);
                if (!time.isValid())
                    return cli.fail(CliRunner::Usage, "times must be a time of day HH:MM:SS");
                value = MailingSettings::timeText(time);
            }
            if (key == "nextdate") {
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
                return cli.fail(CliRunner::Failure, "the settings store could not be written: " +
                                                        SettingsStore::location());
            return int(CliRunner::Ok);
        });
}

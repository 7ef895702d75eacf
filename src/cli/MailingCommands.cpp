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
            choice.reason = QStringLiteral("нет пригодной учётной записи почты (%1); сохраните "
                                           "её командой «kalvent-cli account set»")
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
        cli.out() << "Исходящие: идёт другая отправка\n";
        return int(CliRunner::Ok);
    }
    if (round.delivered + round.failed == 0) {
        if (byHand)
            cli.out() << "Исходящие: отправлять нечего\n";
        return int(CliRunner::Ok);
    }
    cli.out() << "Исходящие: доставлено " << round.delivered << ", осталось " << round.failed
              << "\n";
    if (round.failed > 0 && !run.errorText().isEmpty())
        cli.err() << "kalvent-cli: " << run.errorText() << Qt::endl;
    return int(round.failed > 0 && byHand ? CliRunner::Failure : CliRunner::Ok);
}

QString passwordPlaceText(const MailAccount& account)
{
    switch (account.passwordPlace()) {
    case MailAccount::PasswordPlace::SecretStore:
        return QStringLiteral("Пароль: в хранилище секретов рабочего стола");
    case MailAccount::PasswordPlace::File: {
        QString why = account.secretStoreUnavailableReason();
        if (why.isEmpty() && SecretStore::system().isAvailable(&why))
            return QStringLiteral("Пароль: в файле учётной записи (читается только вами); "
                                  "хранилище секретов теперь работает: повторная «account "
                                  "set» перенесёт пароль туда");
        return QStringLiteral("Пароль: в файле учётной записи (читается только вами); нет "
                              "хранилища секретов: ") +
               why;
    }
    case MailAccount::PasswordPlace::None:
        break;
    }
    return QStringLiteral("Пароль: нет");
}

} // namespace

void MailingCommands::addTo(CliRunner& cli, QIODevice* input)
{
    cli.addCommand(
        "export", "export [--days N] [--dir DIR]",
        "Записывает четыре отчёта за последние N дней (по умолчанию — сохранённый период;\n"
        "можно с десятичной запятой, «1,5») как " +
            ReportKind::listed(ReportBundle::fileNames(), "и") +
            " в DIR\n"
            "(по умолчанию — папка Send рядом с базой данных).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"days", "dir"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString days = o.value("days", SettingsStore().read(MailingSettings::daysKey));
            if (!Period::parse(days))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("период «%1» не число дней").arg(days));
            MailingRun run = mailingRun(cli, o.value("dir"));
            if (!run.exportReports(days, Clock::now()))
                return cli.fail(CliRunner::Failure, run.errorText());
            for (const QString& path : ReportBundle::filePaths(run.sendDir()))
                cli.out() << path << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "send-now", "send-now",
        "Выгружает четыре отчёта за сохранённый период и отправляет их сохранённому\n"
        "получателю с сохранённой темой через сохранённую учётную запись почты. Дата\n"
        "следующей отправки не меняется.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const MailingSettings settings = MailingSettings::read(SettingsStore());
            const QString days = settings.days();
            if (!Period::parse(days))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("сохранённый период «%1» не число дней; "
                                               "задайте его: «kalvent-cli settings set days N»")
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
            cli.out() << "Отправлено: " << settings.senders() << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "dispatch", "dispatch",
        "Один раз проверяет расписание и, если срок настал, выполняет отправку: выгрузка,\n"
        "письмо, затем сохраняется следующая дата. Для cron на машине без экрана.",
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
                cli.out() << "Срок отправки не настал\n";
                return deliverKept(cli, run, false);
            case DispatchSchedule::Result::Busy:
            case DispatchSchedule::Result::Deferred:
                cli.out() << "Идёт другая отправка\n";
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
                cli.out() << "Отправлено с другого рабочего места; следующая отправка: "
                          << store.read(MailingSettings::nextdateKey) << "\n";
                return deliverKept(cli, run, false);
            case DispatchSchedule::Result::Dispatched:
                cli.out() << "Следующая отправка: " << store.read(MailingSettings::nextdateKey)
                          << "\n";
                if (mailFailed)
                    return int(CliRunner::Failure);
                return deliverKept(cli, run, false);
            }
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "outbox list", "outbox list",
        "Выводит письма с отчётами, оставленные после неудачной доставки, по одному в строке:\n"
        "ID, когда создано, получатель, попыток, последняя ошибка.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const Outbox outbox(mailingRun(cli).outboxDir());
            for (const Outbox::Mail& mail : outbox.mails())
                cli.out() << mail.id << "  " << mail.created.toString("yyyy-MM-dd HH:mm:ss") << "  "
                          << mail.recipient << "  попыток: " << mail.tries
                          << (mail.forGood ? "  (ждёт изменений)" : "") << "  "
                          << QString(mail.lastError).replace('\n', ' ') << "\n";
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "outbox retry", "outbox retry",
        "Пытается сейчас доставить все оставленные письма с отчётами, что бы ни мешало раньше.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            MailingRun run = mailingRun(cli);
            return deliverKept(cli, run, true);
        });

    cli.addCommand("outbox drop", "outbox drop ID",
                   "Удаляет одно оставленное письмо с отчётами, не отправляя его.",
                   [&cli](const QStringList& args) {
                       CliOptions o(args, {}, {}, {1, 1, "нужно указать ID"});
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
        "Сохраняет учётную запись почты для отправки отчётов (читается только вами). С\n"
        "--password-stdin пароль — первая строка стандартного ввода. Вход по имени с\n"
        "--security none отправляет пароль без шифрования и без --allow-plaintext не\n"
        "принимается. --ca-file называет файл PEM с удостоверяющими центрами, которым\n"
        "доверять сертификат сервера (свой центр, сервер с самоподписанным сертификатом);\n"
        "без него остаётся сохранённый, а --ca-file \"\" возвращает системные центры.",
        [&cli, input](const QStringList& args) {
            CliOptions o(args, {"server", "port", "security", "login", "from", "ca-file"},
                         {"password-stdin", "allow-plaintext"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QStringList securities{"starttls", "ssl", "none"};
            const int security = int(securities.indexOf(o.value("security")));
            if (security < 0)
                return cli.fail(CliRunner::Usage, "--security: нужно starttls, ssl или none");
            bool portOk = false;
            const int port = o.value("port").toInt(&portOk);
            if (!portOk || port < 1 || port > 65535)
                return cli.fail(CliRunner::Usage, "--port: нужно число от 1 до 65535");
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
        "Выводит сохранённую учётную запись почты (никогда не пароль) и где хранится пароль:\n"
        "в хранилище секретов рабочего стола или, где его нет, в файле учётной записи.",
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
                   "Выводит пять настроек рассылки строками key=value.",
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
        "Сохраняет одну настройку рассылки. KEY — days (число дней, можно с десятичной\n"
        "запятой), times (ЧЧ:ММ:СС), tems (тема и текст письма), senders (получатель) или\n"
        "nextdate (ГГГГ-ММ-ДД или ГГГГ-ММ-ДДTЧЧ:ММ:СС).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {}, {}, {2, 2, "нужно указать KEY и VALUE"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString key = o.positional()[0];
            QString value = o.positional()[1];
            if (!MailingSettings::keys().contains(key))
                return cli.fail(CliRunner::Usage,
                                "KEY — одно из: " + MailingSettings::keys().join(", "));
            if (key == MailingSettings::daysKey && !MailingSettings::isUsablePeriod(value))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("период «%1» не число дней").arg(value));
            if (key == MailingSettings::timesKey) {
                const QTime time = MailingSettings::parseTime(value);
                if (!time.isValid())
                    return cli.fail(CliRunner::Usage, "times: нужно время суток ЧЧ:ММ:СС");
                value = MailingSettings::timeText(time);
            }
            if (key == MailingSettings::nextdateKey) {
                const QDateTime next = MailingSettings::parseNextDate(value);
                if (!next.isValid())
                    return cli.fail(CliRunner::Usage,
                                    "nextdate: нужно ГГГГ-ММ-ДД или ГГГГ-ММ-ДДTЧЧ:ММ:СС");
                value = MailingSettings::nextDateText(next);
            }
            if (value.isEmpty())
                return cli.fail(CliRunner::Usage,
                                "пустое значение оставило бы настройки неполными");
            SettingsStore store;
            if (!store.write(key, value))
                return cli.fail(CliRunner::Failure, store.errorText());
            return int(CliRunner::Ok);
        });

    cli.addCommand(
        "settings digest", "settings digest [on|off]",
        "Несёт ли письмо с отчётами в своём тексте сводку за период рассылки: звонки, записи\n"
        "и долю записей против прошлого периода, источники с самой низкой и самой высокой\n"
        "ценой записи и график звонков по дням, как HTML с простым текстом в запас (выключено,\n"
        "пока не включено: тогда тело письма — только его текст).\n"
        "Без аргумента выводит on или off.",
        [&cli](const QStringList& args) {
            return OnOffSetting::run(cli, args, MailingSettings::digestKey);
        });
}

#include "ScheduleCommand.h"

#include "BackupEntry.h"
#include "BackupFolder.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DispatchTimer.h"
#include "LocaleText.h"
#include "MailingSettings.h"
#include "SettingsStore.h"

namespace {

QString timerLine(const DispatchTimer::State& state)
{
    if (!state.installed)
        return QStringLiteral("Фоновая рассылка: таймер %1 не установлен.")
            .arg(DispatchTimer::unit);
    if (state.enabled && state.active)
        return QStringLiteral("Фоновая рассылка: включена.");
    if (state.enabled)
        return QStringLiteral("Фоновая рассылка: включена, но таймер не запущен; запустите его "
                              "командой «kalvent-cli schedule on».");
    if (state.active)
        return QStringLiteral("Фоновая рассылка: таймер запущен, но выключен и после перезагрузки "
                              "не запустится; «kalvent-cli schedule on» включит его.");
    return QStringLiteral("Фоновая рассылка: выключена; отчеты уходят, только пока открыто окно "
                          "программы.");
}

// The next mail: the stored next date at the stored time of day.
QString mailLine()
{
    const MailingSettings settings = MailingSettings::read(SettingsStore());
    const QStringList unusable = settings.unusableKeys();
    if (!unusable.isEmpty())
        return QStringLiteral("Следующая рассылка отчетов: не назначена (не заданы или не "
                              "читаются настройки %1).")
            .arg(unusable.join(", "));
    const QDateTime due(settings.nextDate().date(), settings.time());
    if (due <= Clock::now())
        return QStringLiteral("Следующая рассылка отчетов: срок наступил %1, отчеты уйдут при "
                              "ближайшем запуске.")
            .arg(LocaleText::moment(due));
    return QStringLiteral("Следующая рассылка отчетов: %1.").arg(LocaleText::moment(due));
}

// The next daily copy: today's is taken by the first run of the timer or the window on a day
// that has none yet.
QString backupLine()
{
    const QDate today = Clock::today();
    const BackupEntry newest = BackupFolder(BackupFolder::chosen()).newestVerified();
    if (newest.taken.isValid() && newest.taken.date() >= today)
        return QStringLiteral("Следующая резервная копия: %1, при первом запуске таймера или "
                              "окна программы.")
            .arg(today.addDays(1).toString(QStringLiteral("dd.MM.yyyy")));
    return QStringLiteral("Следующая резервная копия: сегодня, при ближайшем запуске таймера или "
                          "окна программы.");
}

// What the timer and the schedule say, one line each.
int printStatus(CliRunner& cli)
{
    DispatchTimer timer;
    const std::optional<DispatchTimer::State> state = timer.state();
    if (state) {
        cli.out() << timerLine(*state) << "\n";
        if (state->nextRun.isValid())
            cli.out() << QStringLiteral("Следующий запуск таймера: %1.")
                             .arg(LocaleText::moment(state->nextRun))
                      << "\n";
    }
    cli.out() << mailLine() << "\n";
    cli.out() << backupLine() << "\n";
    if (!state)
        return cli.fail(CliRunner::Failure, timer.errorText());
    return int(CliRunner::Ok);
}

} // namespace

void ScheduleCommand::addTo(CliRunner& cli)
{
    // Each takes no options, changes the timer (or not), then shows the state.
    auto add = [&cli](const QString& word, const QString& help, bool (DispatchTimer::*change)()) {
        cli.addCommand("schedule " + word, "schedule " + word, help,
                       [&cli, change](const QStringList& args) {
                           CliOptions o(args, {}, {});
                           if (!o.ok())
                               return cli.fail(CliRunner::Usage, o.errorText());
                           DispatchTimer timer;
                           if (change && !(timer.*change)())
                               return cli.fail(CliRunner::Failure, timer.errorText());
                           return printStatus(cli);
                       });
    };
    add("on",
        QStringLiteral("Turns the background mailing on: enables and starts the systemd user "
                       "timer\n%1, which runs \"kalvent-cli dispatch\" and the daily backup "
                       "every five\nminutes, with the window closed too. Then shows the state "
                       "as \"schedule status\".")
            .arg(DispatchTimer::unit),
        &DispatchTimer::turnOn);
    add("off",
        "Turns the background mailing off: stops and disables the timer. The open\n"
        "window still mails on schedule.",
        &DispatchTimer::turnOff);
    add("status",
        "Shows whether the background mailing is on, when the timer runs next and\n"
        "when the next report mail is due.",
        nullptr);
}

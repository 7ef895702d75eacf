#include "DispatchTimer.h"

#include <QHash>
#include <QProcess>

namespace {

QString program()
{
    const QString named = qEnvironmentVariable("KALVENT_SYSTEMCTL");
    return named.isEmpty() ? QStringLiteral("systemctl") : named;
}

} // namespace

std::optional<QString> DispatchTimer::systemctl(const QStringList& args, const QString& failure)
{
    m_error.clear();
    QProcess process;
    process.start(program(), QStringList{"--user"} + args);
    if (!process.waitForStarted()) {
        m_error = QStringLiteral("%1: не удалось запустить %2 (%3); фоновая рассылка работает "
                                 "только с systemd.")
                      .arg(failure, program(), process.errorString());
        return std::nullopt;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        m_error = QStringLiteral("%1: %2 не ответил за минуту.").arg(failure, program());
        return std::nullopt;
    }
    const QString said = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        if (said.contains(QLatin1String("connect to bus")))
            m_error = QStringLiteral("%1: systemd этого пользователя недоступен (нет сеанса "
                                     "пользователя и его шины D-Bus). Выполните команду в "
                                     "сеансе, в который вы вошли, или включите постоянный "
                                     "сеанс: loginctl enable-linger.")
                          .arg(failure);
        else
            m_error =
                QStringLiteral("%1: systemctl ответил: %2")
                    .arg(failure, said.isEmpty()
                                      ? QStringLiteral("код завершения %1").arg(process.exitCode())
                                      : said.section('\n', 0, 0));
        return std::nullopt;
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool DispatchTimer::turnOn()
{
    return systemctl({"enable", "--now", unit},
                     QStringLiteral("Не удалось включить фоновую рассылку"))
        .has_value();
}

bool DispatchTimer::turnOff()
{
    return systemctl({"disable", "--now", unit},
                     QStringLiteral("Не удалось выключить фоновую рассылку"))
        .has_value();
}

std::optional<DispatchTimer::State> DispatchTimer::state()
{
    const std::optional<QString> shown =
        systemctl({"show", "--timestamp=unix", "-p", "LoadState", "-p", "UnitFileState", "-p",
                   "ActiveState", "-p", "NextElapseUSecRealtime", unit},
                  QStringLiteral("Не удалось узнать состояние фоновой рассылки"));
    if (!shown)
        return std::nullopt;
    QHash<QString, QString> values;
    for (const QString& line : shown->split('\n'))
        values.insert(line.section('=', 0, 0), line.section('=', 1).trimmed());
    State state;
    state.installed = values.value("LoadState") == QLatin1String("loaded");
    state.enabled = values.value("UnitFileState").startsWith(QLatin1String("enabled"));
    state.active = values.value("ActiveState") == QLatin1String("active");
    // "@seconds since the epoch"; empty or "n/a" when no run is planned.
    const QString next = values.value("NextElapseUSecRealtime");
    bool number = false;
    const qint64 seconds = next.startsWith('@') ? next.mid(1).toLongLong(&number) : 0;
    if (number && seconds > 0)
        state.nextRun = QDateTime::fromSecsSinceEpoch(seconds);
    return state;
}

bool DispatchTimer::isOn()
{
    const std::optional<State> now = state();
    return now && now->enabled && now->active;
}

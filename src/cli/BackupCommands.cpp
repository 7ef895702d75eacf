#include "BackupCommands.h"

#include "AppPaths.h"
#include "Backup.h"
#include "BackupFolder.h"
#include "BackupRestore.h"
#include "BackupStatus.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DatabaseLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString folderOf(const CliOptions& o, const QString& option)
{
    return o.has(option) ? QDir(o.value(option)).absolutePath() : BackupFolder::chosen();
}

void addBackup(CliRunner& cli)
{
    cli.addCommand(
        "backup", "backup [--to DIR] [--auto]",
        "Writes a verified copy of the whole register (a file or a server) as one file\n"
        "KvBD-YYYY-MM-DD-HHMM.db into the backup folder (see backup settings) or DIR. The\n"
        "copy is of one moment, taken while calls are still added, and counts only once it\n"
        "has been read back and its counts and reports equal the register's (its mark\n"
        "NAME.verified). With --auto, the daily copy: taken unless the folder holds one of\n"
        "today, then the copies beyond the kept days, weeks and months are removed.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"to"}, {"auto"});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString folder = folderOf(o, "to");
            Backup backup(AppPaths::databasePath());
            const bool done = o.has("auto") ? backup.takeDaily(folder, BackupRetention::chosen())
                                            : backup.take(folder);
            if (!done)
                return cli.fail(CliRunner::Failure, backup.errorText());
            if (backup.busy())
                cli.out() << QStringLiteral("Резервная копия уже создаётся другой программой.\n");
            else if (backup.path().isEmpty())
                cli.out() << QStringLiteral("Сегодняшняя резервная копия уже есть.\n");
            else
                cli.out() << QStringLiteral(
                                 "Резервная копия создана и проверена: %1 (звонков: %2)\n")
                                 .arg(QDir::toNativeSeparators(backup.path()))
                                 .arg(backup.calls());
            for (const QString& removed : backup.removed())
                cli.out() << QStringLiteral("Удалена старая копия: %1\n")
                                 .arg(QDir::toNativeSeparators(removed));
            return int(CliRunner::Ok);
        });
}

void addList(CliRunner& cli)
{
    cli.addCommand(
        "backup list", "backup list [--folder DIR] [--format text|json]",
        "Lists the copies of the backup folder (or DIR), newest first: the date and time,\n"
        "the calls, the size and whether the copy is verified (only a verified one is a\n"
        "backup).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"folder", "format"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString format = o.value("format", "text");
            if (format != "text" && format != "json")
                return cli.fail(CliRunner::Usage, "--format must be text or json");
            const QString folder = folderOf(o, "folder");
            const QList<BackupEntry> entries = BackupFolder(folder).entries();
            if (format == "json") {
                QJsonArray array;
                for (const BackupEntry& e : entries)
                    array << QJsonObject{{"file", e.path},
                                         {"taken", e.taken.toString(Qt::ISODate)},
                                         {"calls", e.verified ? double(e.calls) : QJsonValue()},
                                         {"size", double(e.size)},
                                         {"verified", e.verified}};
                cli.out() << QJsonDocument(array).toJson();
                return int(CliRunner::Ok);
            }
            if (entries.isEmpty()) {
                cli.out() << QStringLiteral("В папке %1 резервных копий нет.\n")
                                 .arg(QDir::toNativeSeparators(folder));
                return int(CliRunner::Ok);
            }
            cli.out() << QStringLiteral("Дата и время\tЗвонков\tРазмер\tСостояние\tФайл\n");
            for (const BackupEntry& e : entries)
                cli.out() << e.taken.toString("yyyy-MM-dd HH:mm") << "\t"
                          << (e.verified ? QString::number(e.calls) : QStringLiteral("—")) << "\t"
                          << BackupFolder::sizeText(e.size) << "\t"
                          << (e.verified ? QStringLiteral("проверена")
                                         : QStringLiteral("не проверена, не копия"))
                          << "\t" << QFileInfo(e.path).fileName() << "\n";
            return int(CliRunner::Ok);
        });
}

void addStatus(CliRunner& cli)
{
    cli.addCommand(
        "backup status", "backup status [--folder DIR]",
        "Tells when the newest verified copy was taken. Exits 1 when the last attempt failed\n"
        "or the newest verified copy is more than two days old (or there is none).",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"folder"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString folder = folderOf(o, "folder");
            const QString warning = BackupStatus::warning(folder, Clock::now());
            if (!warning.isEmpty())
                return cli.fail(CliRunner::Failure, warning);
            const BackupEntry newest = BackupFolder(folder).newestVerified();
            cli.out() << QStringLiteral("Последняя резервная копия: %1, %2\n")
                             .arg(newest.taken.toString("yyyy-MM-dd HH:mm"),
                                  QDir::toNativeSeparators(newest.path));
            return int(CliRunner::Ok);
        });
}

void addSettings(CliRunner& cli)
{
    cli.addCommand(
        "backup settings", "backup settings [--folder DIR] [--daily N] [--weekly N] [--monthly N]",
        "Sets the backup folder (by default ~/.local/share/Kalvent/Backups; a USB drive or a\n"
        "network share keeps the copies off this computer) and how many daily, weekly and\n"
        "monthly copies the daily copy keeps (7, 4 and 12). Prints the settings.",
        [&cli](const QStringList& args) {
            CliOptions o(args, {"folder", "daily", "weekly", "monthly"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            BackupRetention::Counts counts = BackupRetention::chosen();
            for (const auto& [name, count] :
                 {std::pair{"daily", &counts.daily}, std::pair{"weekly", &counts.weekly},
                  std::pair{"monthly", &counts.monthly}}) {
                if (!o.has(name))
                    continue;
                bool ok = false;
                *count = o.value(name).toInt(&ok);
                if (!ok || *count < 0 || *count > 1000)
                    return cli.fail(CliRunner::Usage,
                                    QStringLiteral("--%1: число от 0 до 1000").arg(name));
            }
            if (o.has("folder")) {
                const Outcome<void> stored = BackupFolder::choose(o.value("folder"));
                if (!stored)
                    return cli.fail(CliRunner::Failure, stored.errorText());
            }
            if ((o.has("daily") || o.has("weekly") || o.has("monthly")) &&
                !BackupRetention::choose(counts))
                return cli.fail(CliRunner::Failure,
                                QStringLiteral("Не удалось сохранить настройки программы."));
            cli.out() << QStringLiteral("Папка: %1\nЕжедневных: %2\nЕженедельных: %3\n"
                                        "Ежемесячных: %4\n")
                             .arg(QDir::toNativeSeparators(BackupFolder::chosen()))
                             .arg(counts.daily)
                             .arg(counts.weekly)
                             .arg(counts.monthly);
            return int(CliRunner::Ok);
        });
}

void addRestore(CliRunner& cli, QIODevice* input)
{
    cli.addCommand(
        "restore", "restore FILE [--replace]",
        "Puts the register of a backup FILE in place after checking it (a copy of a newer\n"
        "layout is refused). A file register is kept first as KvBD.db.before-restore-\n"
        "YYYY-MM-DD-HHMMSS beside it. A server database is restored only when it holds no\n"
        "calls; --replace replaces its register after the database's name is typed on\n"
        "standard input, and after a verified copy of it has been taken into the backup\n"
        "folder.",
        [&cli, input](const QStringList& args) {
            CliOptions o(args, {}, {"replace"},
                         {1, 1, QStringLiteral("укажите один файл резервной копии")});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const QString location = AppPaths::databasePath();
            const DatabaseLocation where(location);
            if (o.has("replace") && where.isServer()) {
                cli.err() << QStringLiteral("Регистр базы %1 будет заменён копией. Для "
                                            "подтверждения введите имя базы (%2): ")
                                 .arg(where.serverName(), where.databaseName());
                cli.err().flush();
                QByteArray line = input ? input->readLine() : QByteArray();
                if (QString::fromUtf8(line).trimmed() != where.databaseName())
                    return cli.fail(CliRunner::Usage,
                                    QStringLiteral("имя базы не введено; ничего не изменено"));
            }
            BackupRestore restore(location, BackupFolder::chosen());
            restore.setReplacing(o.has("replace"));
            if (!restore.restore(o.positional().first()))
                return cli.fail(restore.targetNotEmpty() ? CliRunner::Usage : CliRunner::Failure,
                                restore.errorText());
            cli.out() << QStringLiteral("Восстановлено звонков: %1.\n").arg(restore.calls());
            if (!restore.keptPath().isEmpty())
                cli.out() << QStringLiteral("Прежняя база сохранена: %1\n")
                                 .arg(QDir::toNativeSeparators(restore.keptPath()));
            return int(CliRunner::Ok);
        });
}
} // namespace

void BackupCommands::addTo(CliRunner& cli, QIODevice* input)
{
    addBackup(cli);
    addList(cli);
    addStatus(cli);
    addSettings(cli);
    addRestore(cli, input);
}

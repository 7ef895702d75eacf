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
        "Записывает проверенную копию всей базы (файла или сервера) одним файлом\n"
        "KvBD-ГГГГ-ММ-ДД-ЧЧММ.db в папку резервных копий (см. backup settings) или в DIR.\n"
        "Копия снимается на один момент, пока звонки продолжают добавляться, и считается\n"
        "копией, только когда она прочитана заново и её счёт и отчёты совпали с базой\n"
        "(отметка ИМЯ.verified). С --auto — ежедневная копия: снимается, если за сегодня\n"
        "её ещё нет, затем удаляются копии сверх хранимых дневных, недельных и месячных.",
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
        "Перечисляет копии папки резервных копий (или DIR), новые первыми: дата и время,\n"
        "число звонков, размер и проверена ли копия (резервная копия — только проверенная).",
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
        "Сообщает, когда снята последняя проверенная копия. Завершается с кодом 1, если\n"
        "последняя попытка не удалась или последней проверенной копии больше двух дней\n"
        "(или копий нет).",
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
        "Задаёт папку резервных копий (по умолчанию ~/.local/share/Kalvent/Backups;\n"
        "USB-диск или сетевая папка хранят копии вне этого компьютера) и сколько дневных,\n"
        "недельных и месячных копий хранит ежедневная копия (7, 4 и 12). Печатает настройки.",
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
        "Восстанавливает базу из резервной копии FILE, проверив её (копия более новой\n"
        "структуры не принимается). База-файл сначала сохраняется рядом как\n"
        "KvBD.db.before-restore-ГГГГ-ММ-ДД-ЧЧММСС. База на сервере восстанавливается, только\n"
        "если в ней нет звонков; --replace заменяет её содержимое после того, как имя базы\n"
        "введено со стандартного ввода и с неё снята проверенная копия в папку резервных\n"
        "копий.",
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

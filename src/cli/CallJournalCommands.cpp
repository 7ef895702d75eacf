#include "CallJournalCommands.h"

#include "CallEdit.h"
#include "CallJournal.h"
#include "CallStore.h"
#include "CliOptions.h"
#include "CliRunner.h"
#include "DataEnv.h"
#include "JournalText.h"
#include "ReportFileWriter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace {

constexpr int pageSize = 1000;

// "yes"/"да" or "no"/"нет"; nullopt for anything else.
std::optional<bool> parseBooked(const QString& text)
{
    const QString word = text.trimmed().toLower();
    if (word == QStringLiteral("yes") || word == QStringLiteral("да"))
        return true;
    if (word == QStringLiteral("no") || word == QStringLiteral("нет"))
        return false;
    return std::nullopt;
}

// The keys of calls given on the line; nullopt (after the message) when one is not a key.
std::optional<QVector<qint64>> parseIds(CliRunner& cli, const QStringList& words)
{
    QVector<qint64> ids;
    for (const QString& word : words) {
        bool ok = false;
        const qint64 id = word.toLongLong(&ok);
        if (!ok || id <= 0) {
            cli.fail(CliRunner::Usage,
                     QStringLiteral("«%1» — не номер звонка (ID из «calls list»)").arg(word));
            return std::nullopt;
        }
        if (!ids.contains(id))
            ids << id;
    }
    return ids;
}

// Reads the keys that are a command's only arguments and connects; the exit status after the
// message when either fails.
std::optional<int> readIds(CliRunner& cli, const QStringList& args,
                           const CliOptions::Positional& count, QVector<qint64>* ids)
{
    CliOptions o(args, {}, {}, count);
    if (!o.ok())
        return cli.fail(CliRunner::Usage, o.errorText());
    const auto parsed = parseIds(cli, o.positional());
    if (!parsed)
        return int(CliRunner::Usage);
    if (!cli.env()->connect())
        return cli.fail(CliRunner::Failure, cli.env()->errorText());
    *ids = *parsed;
    return std::nullopt;
}

// The stored call `id`; nullopt (after the message, status in *status) when there is none.
std::optional<CallRecord> findCall(CliRunner& cli, qint64 id, int* status)
{
    CallJournal& journal = cli.env()->journal();
    std::optional<CallRecord> record = journal.find(id);
    if (!record)
        *status = cli.fail(CliRunner::Failure, journal.errorText());
    return record;
}

// The calls of the filter, page by page, in one of the formats.
int listCalls(CliRunner& cli, const CallFilter& filter, const QString& format)
{
    CallJournal& journal = cli.env()->journal();
    const bool server = cli.env()->connection().dialect().isServer();
    const CallEdit lists = CallEdit::fromLists(cli.env());
    qsizetype nameWidth = QStringLiteral("Источник").size();
    for (const QString& name : lists.services() + lists.sources())
        nameWidth = qMax(nameWidth, name.size());
    auto textLine = [&](const QStringList& cells) {
        QString line = cells.at(0).rightJustified(8) + "  " + cells.at(1).leftJustified(10) + "  " +
                       cells.at(2).leftJustified(8) + "  " + cells.at(3).leftJustified(nameWidth) +
                       "  " + cells.at(4).leftJustified(nameWidth) + "  " +
                       cells.at(5).leftJustified(6);
        if (server)
            line += "  " + cells.at(6);
        while (line.endsWith(' '))
            line.chop(1);
        return line + "\n";
    };
    QTextStream& out = cli.out();
    if (format == QStringLiteral("text"))
        out << textLine({QStringLiteral("ID"), QStringLiteral("Дата"), QStringLiteral("Время"),
                         QStringLiteral("Услуга"), QStringLiteral("Источник"),
                         QStringLiteral("Запись"), QStringLiteral("Пульт")});
    else if (format == QStringLiteral("csv"))
        out << "id;date;time;service;source;booked;desk\r\n";
    else
        out << "{\"calls\": [";
    qint64 count = 0;
    JournalKey after;
    for (;;) {
        const auto page = journal.page(filter, after, pageSize);
        if (!page) {
            if (format == QStringLiteral("json"))
                out << "]}\n";
            return cli.fail(CliRunner::Failure, journal.errorText());
        }
        for (const CallRecord& record : *page) {
            const Call& call = record.call;
            if (format == QStringLiteral("text")) {
                out << textLine({QString::number(record.id), JournalText::date(call.date),
                                 JournalText::time(call.time), call.service, call.source,
                                 JournalText::booked(call.booked), record.desk});
            } else if (format == QStringLiteral("csv")) {
                QStringList fields{QString::number(record.id),
                                   call.date.toString(Qt::ISODate),
                                   JournalText::time(call.time),
                                   call.service,
                                   call.source,
                                   call.booked ? QStringLiteral("yes") : QStringLiteral("no"),
                                   record.desk};
                for (qsizetype i = 0; i < fields.size(); ++i)
                    fields[i] = ReportFileWriter::csvField(fields.at(i), ';', i == 0);
                out << fields.join(';') << "\r\n";
            } else {
                const QJsonObject object{{"id", record.id},
                                         {"date", call.date.toString(Qt::ISODate)},
                                         {"time", call.time.isValid()
                                                      ? QJsonValue(JournalText::time(call.time))
                                                      : QJsonValue()},
                                         {"service", call.service},
                                         {"source", call.source},
                                         {"booked", call.booked},
                                         {"desk", record.desk}};
                out << (count > 0 ? ", " : "")
                    << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
            }
            ++count;
        }
        if (page->size() < pageSize)
            break;
        after = JournalKey{page->last().call.date, page->last().id};
    }
    if (format == QStringLiteral("text"))
        out << QStringLiteral("Всего: %1\n").arg(JournalText::calls(count));
    else if (format == QStringLiteral("json"))
        out << "]}\n";
    return CliRunner::Ok;
}

} // namespace

void CallJournalCommands::addTo(CliRunner& cli)
{
    cli.addCommand(
        "calls list",
        "calls list [--from ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД] [--service ИМЯ] [--source ИМЯ] "
        "[--booked yes|no] [--format text|csv|json]",
        QStringLiteral(
            "Выводит звонки, новые первыми, с их номерами (ID) для «calls edit» и «calls delete».\n"
            "--from и --to ограничивают период (обе даты входят), --service и --source — названия\n"
            "(регистр букв не важен), --booked — записавшихся или нет. text — таблица и итог;\n"
            "csv — поля id;date;time;service;source;booked;desk; json — {\"calls\": [{\"id\",\n"
            "\"date\", \"time\", \"service\", \"source\", \"booked\", \"desk\"}]}."),
        [&cli](const QStringList& args) {
            CliOptions o(args, {"from", "to", "service", "source", "booked", "format"}, {});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            CallFilter filter;
            for (const QString& end : {QStringLiteral("from"), QStringLiteral("to")}) {
                if (!o.has(end))
                    continue;
                const QDate date = CliRunner::parseDate(o.value(end));
                if (!date.isValid())
                    return cli.fail(CliRunner::Usage,
                                    QStringLiteral("--%1: дата пишется ГГГГ-ММ-ДД").arg(end));
                (end == QStringLiteral("from") ? filter.from : filter.to) = date;
            }
            filter.service = o.value("service").trimmed();
            filter.source = o.value("source").trimmed();
            if (o.has("booked")) {
                filter.booked = parseBooked(o.value("booked"));
                if (!filter.booked)
                    return cli.fail(CliRunner::Usage, QStringLiteral("--booked: yes или no"));
            }
            const QString format = o.value("format", QStringLiteral("text"));
            if (!QStringList{"text", "csv", "json"}.contains(format))
                return cli.fail(CliRunner::Usage, QStringLiteral("--format: text, csv или json"));
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            return listCalls(cli, filter, format);
        });
    cli.addCommand(
        "calls edit",
        "calls edit ID [--date ГГГГ-ММ-ДД] [--time ЧЧ:ММ:СС] [--service ИМЯ] [--source ИМЯ] "
        "[--booked yes|no]",
        QStringLiteral(
            "Изменяет звонок ID: поля, которые названы. Услуга и источник — из списков (регистр\n"
            "букв и пробелы по краям не важны); названия, которых нет в списках, не принимаются.\n"
            "Итоги отчетов меняются вместе со звонком; изменение записывается в журнал изменений."),
        [&cli](const QStringList& args) {
            CliOptions o(args, {"date", "time", "service", "source", "booked"}, {},
                         {1, 1, QStringLiteral("укажите один номер звонка (ID)")});
            if (!o.ok())
                return cli.fail(CliRunner::Usage, o.errorText());
            const auto ids = parseIds(cli, o.positional());
            if (!ids)
                return int(CliRunner::Usage);
            if (!o.has("date") && !o.has("time") && !o.has("service") && !o.has("source") &&
                !o.has("booked"))
                return cli.fail(CliRunner::Usage,
                                QStringLiteral("укажите, что изменить: --date, --time, --service, "
                                               "--source или --booked"));
            if (!cli.env()->connect())
                return cli.fail(CliRunner::Failure, cli.env()->errorText());
            int status = CliRunner::Ok;
            const std::optional<CallRecord> record = findCall(cli, ids->first(), &status);
            if (!record)
                return status;
            Call call = record->call;
            if (o.has("date")) {
                call.date = CliRunner::parseDate(o.value("date"));
                if (!call.date.isValid())
                    return cli.fail(CliRunner::Usage,
                                    QStringLiteral("--date: дата пишется ГГГГ-ММ-ДД"));
            }
            if (o.has("time")) {
                const QString text = o.value("time");
                call.time = QTime::fromString(text, text.size() == 5 ? "HH:mm" : "HH:mm:ss");
                if (!call.time.isValid())
                    return cli.fail(CliRunner::Usage,
                                    QStringLiteral("--time: время пишется ЧЧ:ММ:СС"));
            }
            if (o.has("service"))
                call.service = o.value("service");
            if (o.has("source"))
                call.source = o.value("source");
            if (o.has("booked")) {
                const std::optional<bool> booked = parseBooked(o.value("booked"));
                if (!booked)
                    return cli.fail(CliRunner::Usage, QStringLiteral("--booked: yes или no"));
                call.booked = *booked;
            }
            CallEdit edit = CallEdit::fromLists(cli.env());
            if (!edit.check(call))
                return cli.fail(CliRunner::Usage, edit.errorText());
            const QStringList changes = JournalText::differences(record->call, call);
            if (changes.isEmpty()) {
                cli.out() << QStringLiteral("Звонок %1 не изменился.\n").arg(record->id);
                return int(CliRunner::Ok);
            }
            if (!cli.env()->calls().edit(record->id, call))
                return cli.fail(CliRunner::Failure, cli.env()->calls().errorText());
            cli.out() << QStringLiteral("Звонок %1 изменён:\n  %2\n")
                             .arg(QString::number(record->id), changes.join("\n  "));
            return int(CliRunner::Ok);
        });
    cli.addCommand(
        "calls delete", "calls delete ID...",
        QStringLiteral("Удаляет звонки с этими номерами (ID) вместе, в одной транзакции; если "
                       "одного из них\nнет, не удаляет ни одного. Удаление записывается в журнал "
                       "изменений."),
        [&cli](const QStringList& args) {
            QVector<qint64> ids;
            if (const auto status = readIds(
                    cli, args, {1, INT_MAX, QStringLiteral("укажите номера звонков (ID)")}, &ids))
                return *status;
            QStringList named;
            for (const qint64 id : ids) {
                int status = CliRunner::Ok;
                const std::optional<CallRecord> record = findCall(cli, id, &status);
                if (!record)
                    return status;
                named << QStringLiteral("  %1  %2").arg(id).arg(JournalText::call(record->call));
            }
            if (!cli.env()->calls().remove(ids))
                return cli.fail(CliRunner::Failure, cli.env()->calls().errorText());
            cli.out() << QStringLiteral("Удалено: %1\n%2\n")
                             .arg(JournalText::calls(ids.size()), named.join('\n'));
            return int(CliRunner::Ok);
        });
    cli.addCommand(
        "calls log", "calls log [ID]",
        QStringLiteral("Выводит журнал изменений, новые первыми: когда (местное время), пульт, "
                       "номер звонка,\nчто сделано и значения до и после; с ID — только "
                       "изменения этого звонка."),
        [&cli](const QStringList& args) {
            QVector<qint64> ids;
            if (const auto status =
                    readIds(cli, args, {0, 1, QStringLiteral("укажите не больше одного ID")}, &ids))
                return *status;
            CallJournal& journal = cli.env()->journal();
            const auto changes = journal.changes(ids.isEmpty() ? 0 : ids.first(), INT_MAX);
            if (!changes)
                return cli.fail(CliRunner::Failure, journal.errorText());
            for (const CallChange& change : *changes) {
                QString what;
                switch (change.kind) {
                case CallChange::Kind::Edited:
                    what = JournalText::differences(change.before.call, change.after.call)
                               .join(QStringLiteral("; "));
                    break;
                case CallChange::Kind::Deleted:
                    what = JournalText::call(change.before.call);
                    break;
                case CallChange::Kind::Restored:
                    what = JournalText::call(change.after.call);
                    break;
                }
                cli.out() << QStringLiteral("%1  %2  звонок %3  %4: %5\n")
                                 .arg(JournalText::moment(change.when),
                                      change.desk.isEmpty() ? QStringLiteral("-") : change.desk,
                                      QString::number(change.callId),
                                      JournalText::kind(change.kind), what);
            }
            if (changes->isEmpty())
                cli.out() << QStringLiteral("Изменений нет.\n");
            return int(CliRunner::Ok);
        });
}

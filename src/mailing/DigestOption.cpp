#include "DigestOption.h"

#include "AdAnalysis.h"
#include "MailDigest.h"
#include "MailMessage.h"
#include "Period.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportRows.h"
#include "ReportRunner.h"
#include "SafeFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

enum File
{
    Text,
    Html,
    Chart
};

// The calls and bookings of every date of the by-date report over `period`.
bool readDays(ReportRunner& runner, const AnalysisPeriod& period, QVector<MailDigest::Day>* days,
              QString* error)
{
    const ReportKind& kind = *ReportKind::find(ReportKind::ByDate);
    const auto model = runner.rows(kind, ReportPeriod(period.from(), period.to()));
    if (!model) {
        *error = runner.errorText();
        return false;
    }
    const ReportRows rows(*model);
    const int date = rows.column(kind.keyField());
    const int calls = rows.column(kind.callsField());
    const int booked = rows.column(kind.bookedField());
    for (int row = 0; row < rows.count(); ++row)
        days->append({rows.value(row, date).toDate(), rows.value(row, calls).toLongLong(),
                      rows.value(row, booked).toLongLong()});
    return true;
}

bool readText(const QString& path, QString* text, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Не удалось прочитать сводку «%1»: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    *text = QString::fromUtf8(file.readAll());
    return true;
}

} // namespace

bool DigestOption::isOn(const SettingsStore& store)
{
    return store.read(QString::fromLatin1(optionKey)).trimmed() == QStringLiteral("1");
}

bool DigestOption::setOn(SettingsStore& store, bool on)
{
    return store.write(QString::fromLatin1(optionKey),
                       on ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList DigestOption::fileNames()
{
    return {QStringLiteral("svodka.txt"), QStringLiteral("svodka.htm"),
            QStringLiteral("svodka.png")};
}

QStringList DigestOption::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

bool DigestOption::write(DataEnv* env, const QString& days, const QDateTime& now,
                         const QString& dir, QString* error)
{
    const std::optional<double> length = Period::parse(days);
    const QDateTime from = length ? Period::before(now.date(), *length) : QDateTime();
    if (!from.isValid()) {
        *error =
            QStringLiteral("Сводка не сохранена: период «%1» не является числом дней.").arg(days);
        return false;
    }
    const AnalysisPeriod period(from.date(), now.date());
    AdAnalysis analysis(env);
    if (!analysis.load(period)) {
        *error = QStringLiteral("Сводка не сохранена: ") + analysis.errorText();
        return false;
    }
    ReportRunner runner(env);
    QVector<MailDigest::Day> current;
    QVector<MailDigest::Day> previous;
    QString reason;
    if (!readDays(runner, period, &current, &reason) ||
        !readDays(runner, period.previous(), &previous, &reason)) {
        *error = QStringLiteral("Сводка не сохранена: ") + reason;
        return false;
    }
    qint64 previousCalls = 0;
    qint64 previousBooked = 0;
    for (const MailDigest::Day& day : std::as_const(previous)) {
        previousCalls += day.calls;
        previousBooked += day.booked;
    }
    const MailDigest digest(period, current, previousCalls, previousBooked, analysis.rows());
    const QStringList paths = filePaths(dir);
    const QByteArray contents[] = {digest.text().toUtf8(), digest.html().toUtf8(),
                                   digest.chartPng()};
    for (int i = 0; i < paths.size(); ++i) {
        if (!SafeFile::write(paths.at(i), contents[i], &reason)) {
            *error = QStringLiteral("Сводка не сохранена: ") + reason;
            return false;
        }
    }
    return true;
}

QStringList DigestOption::takeDigestFiles(QStringList* files)
{
    QStringList digest;
    for (const QString& name : fileNames()) {
        for (const QString& file : std::as_const(*files))
            if (QFileInfo(file).fileName() == name) {
                digest << file;
                break;
            }
    }
    // Only a whole summary makes a body; the files of a part of one stay attachments.
    if (digest.size() != fileNames().size())
        return {};
    for (const QString& file : std::as_const(digest))
        files->removeOne(file);
    return digest;
}

bool DigestOption::fillBody(MailMessage* message, const QString& mailText, const QStringList& files,
                            QString* error)
{
    if (files.size() != fileNames().size()) {
        *error = QStringLiteral("Сводка для письма неполна.");
        return false;
    }
    QString text;
    QString html;
    if (!readText(files.at(Text), &text, error) || !readText(files.at(Html), &html, error))
        return false;
    message->setBody(MailDigest::plainBody(mailText, text));
    message->setHtmlBody(MailDigest::htmlBody(mailText, html));
    message->setInlineImages(
        {{QByteArray(MailDigest::chartContentId), "image/png", files.at(Chart)}});
    return true;
}

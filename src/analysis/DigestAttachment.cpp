#include "DigestAttachment.h"

#include "AdAnalysis.h"
#include "DigestOption.h"
#include "MailDigest.h"
#include "MailingSettings.h"
#include "Period.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportRows.h"
#include "ReportRunner.h"
#include "SafeFile.h"

namespace {

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

} // namespace

QStringList DigestAttachment::fileNames() const
{
    return DigestOption::fileNames();
}

bool DigestAttachment::isOn(const MailingSettings& settings) const
{
    return settings.carriesDigest();
}

Outcome<void> DigestAttachment::write(DataEnv* env, const QString& days, const QDateTime& now,
                                      const QString& dir) const
{
    const std::optional<double> length = Period::parse(days);
    const QDateTime from = length ? Period::before(now.date(), *length) : QDateTime();
    if (!from.isValid()) {
        return Outcome<void>::failure(
            QStringLiteral("Сводка не сохранена: период «%1» не является числом дней.").arg(days));
    }
    const AnalysisPeriod period(from.date(), now.date());
    AdAnalysis analysis(env);
    if (!analysis.load(period)) {
        return Outcome<void>::failure(QStringLiteral("Сводка не сохранена: ") +
                                      analysis.errorText());
    }
    ReportRunner runner(env);
    QVector<MailDigest::Day> current;
    QVector<MailDigest::Day> previous;
    QString reason;
    if (!readDays(runner, period, &current, &reason) ||
        !readDays(runner, period.previous(), &previous, &reason)) {
        return Outcome<void>::failure(QStringLiteral("Сводка не сохранена: ") + reason);
    }
    qint64 previousCalls = 0;
    qint64 previousBooked = 0;
    for (const MailDigest::Day& day : std::as_const(previous)) {
        previousCalls += day.calls;
        previousBooked += day.booked;
    }
    const MailDigest digest(period, current, previousCalls, previousBooked, analysis.rows());
    const QStringList paths = DigestOption::filePaths(dir);
    const QByteArray contents[] = {digest.text().toUtf8(), digest.html().toUtf8(),
                                   digest.chartPng()};
    for (int i = 0; i < paths.size(); ++i) {
        const Outcome<void> written = SafeFile::write(paths.at(i), contents[i]);
        if (!written) {
            return Outcome<void>::failure(QStringLiteral("Сводка не сохранена: ") +
                                          written.errorText());
        }
    }
    return {};
}

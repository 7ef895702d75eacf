#include "AnalysisAttachment.h"

#include "AdAnalysis.h"
#include "AnalysisExport.h"
#include "MailingSettings.h"
#include "Period.h"

#include <QDir>

QStringList AnalysisAttachment::fileNames() const
{
    return {QString::fromLatin1(fileName)};
}

bool AnalysisAttachment::isOn(const MailingSettings& settings) const
{
    return settings.attachesAnalysis();
}

Outcome<void> AnalysisAttachment::write(DataEnv* env, const QString& days, const QDateTime& now,
                                        const QString& dir) const
{
    const std::optional<double> period = Period::parse(days);
    const QDateTime from = period ? Period::before(now.date(), *period) : QDateTime();
    if (!from.isValid()) {
        return Outcome<void>::failure(
            QStringLiteral("Анализ рекламы не сохранён: период «%1» не является числом дней.")
                .arg(days));
    }
    AdAnalysis analysis(env);
    AnalysisExport exporter;
    const QString path = QDir(dir).filePath(QString::fromLatin1(fileName));
    if (!analysis.load(AnalysisPeriod(from.date(), now.date())) ||
        !exporter.write(AnalysisExport::Format::Html, analysis, path)) {
        return Outcome<void>::failure(
            QStringLiteral("Файл «%1» не сохранён: %2")
                .arg(QString::fromLatin1(fileName),
                     analysis.errorText().isEmpty() ? exporter.errorText() : analysis.errorText()));
    }
    return {};
}

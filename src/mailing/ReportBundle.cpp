#include "ReportBundle.h"

#include "DiskSpace.h"
#include "SafeFile.h"

#include "Period.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportRunner.h"

#include <QDir>

QStringList ReportBundle::fileNames()
{
    return ReportKind::fileNames();
}

QStringList ReportBundle::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

bool ReportBundle::write(const QString& daysText, const QDateTime& now, const QString& dir)
{
    m_error.clear();
    const std::optional<double> days = Period::parse(daysText);
    if (!days) {
        m_error = QStringLiteral("Отчеты не сохранены: период «%1» не является числом дней.")
                      .arg(daysText);
        return false;
    }
    const QDate today = now.date();
    const QDateTime from = Period::before(today, *days);
    const ReportPeriod period =
        from.time() == QTime(0, 0) ? ReportPeriod(from.date(), today) : ReportPeriod(from, today);
    QString error;
    if (!SafeFile::ensureFolder(dir, &error) || !DiskSpace::check(dir, 0, &error)) {
        m_error = QStringLiteral("Отчеты не сохранены: ") + error;
        return false;
    }
    ReportRunner runner(m_env);
    for (const ReportKind& kind : ReportKind::all()) {
        if (!runner.exportTo(kind, period, QDir(dir).filePath(kind.fileName()))) {
            m_error = QStringLiteral("Отчет «%1» не сохранён: %2")
                          .arg(kind.fileName(), runner.errorText());
            return false;
        }
    }
    return true;
}

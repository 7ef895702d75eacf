#include "ReportExport.h"

#include "Period.h"
#include "ReportDispatcher.h"
#include "ReportPeriod.h"

#include <QDir>

QStringList ReportExport::fileNames()
{
    return {"poist.htm", "pousl.htm", "point.htm", "podates.htm"};
}

QStringList ReportExport::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

bool ReportExport::run(const QString& daysText, const QDateTime& now, const QString& dir)
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
    if (!QDir().mkpath(dir)) {
        m_error = QStringLiteral("Отчеты не сохранены: не удаётся создать папку «%1».").arg(dir);
        return false;
    }
    ReportDispatcher dispatcher(m_env);
    const QStringList paths = filePaths(dir);
    for (int kind = 1; kind <= paths.size(); ++kind) {
        if (!dispatcher.exportTo(kind, period, paths[kind - 1])) {
            m_error = QStringLiteral("Отчет «%1» не сохранён: %2")
                          .arg(fileNames()[kind - 1], dispatcher.lastError());
            return false;
        }
    }
    return true;
}

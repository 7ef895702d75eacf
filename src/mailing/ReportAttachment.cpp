#include "ReportAttachment.h"

#include "DiskSpace.h"
#include "Period.h"
#include "ReportKind.h"
#include "ReportPeriod.h"
#include "ReportRunner.h"
#include "SafeFile.h"

#include <QDir>

QList<MailAttachments::Part> ReportAttachment::all()
{
    QList<MailAttachments::Part> parts;
    for (const ReportKind& kind : ReportKind::all())
        parts << std::make_shared<ReportAttachment>(kind);
    return parts;
}

QStringList ReportAttachment::fileNames() const
{
    return {m_kind.fileName()};
}

Outcome<void> ReportAttachment::write(DataEnv* env, const QString& days, const QDateTime& now,
                                      const QString& dir) const
{
    const std::optional<double> length = Period::parse(days);
    if (!length) {
        return Outcome<void>::failure(
            QStringLiteral("Отчеты не сохранены: период «%1» не является числом дней.").arg(days));
    }
    const QDate today = now.date();
    const QDateTime from = Period::before(today, *length);
    const ReportPeriod period =
        from.time() == QTime(0, 0) ? ReportPeriod(from.date(), today) : ReportPeriod(from, today);
    Outcome<void> room = SafeFile::ensureFolder(dir);
    if (room)
        room = DiskSpace::check(dir);
    if (!room) {
        return Outcome<void>::failure(QStringLiteral("Отчеты не сохранены: ") + room.errorText());
    }
    ReportRunner runner(env);
    if (!runner.exportTo(m_kind, period, QDir(dir).filePath(m_kind.fileName()))) {
        return Outcome<void>::failure(QStringLiteral("Отчет «%1» не сохранён: %2")
                                          .arg(m_kind.fileName(), runner.errorText()));
    }
    return {};
}

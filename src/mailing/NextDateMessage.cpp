#include "NextDateMessage.h"

#include "LocaleText.h"

QString NextDateMessage::title()
{
    return QStringLiteral("Сообщение");
}

QString NextDateMessage::text(const QDateTime& nextDate, const QString& daysText,
                              const QLocale& locale)
{
    return QStringLiteral("Следующая отправка отчёта ") + LocaleText::moment(nextDate, locale) +
           QStringLiteral(", далее отчет отправляется каждые ") + daysText + QStringLiteral("дн.");
}

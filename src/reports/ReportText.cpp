#include "ReportText.h"

#include "ProgramLocale.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

QString ReportText::dateFormat()
{
    QString format = ProgramLocale::locale().dateFormat(QLocale::ShortFormat);
    if (!format.contains("yyyy"))
        format.replace(QRegularExpression("y+"), "yyyy");
    if (!format.contains("yyyy"))
        format = "dd.MM.yyyy";
    return format;
}

QString ReportText::date(const QDate& date)
{
    return date.isValid() ? ProgramLocale::locale().toString(date, dateFormat()) : QString();
}

QString ReportText::moment(const QDateTime& moment)
{
    if (!moment.isValid())
        return QString();
    if (moment.time() == QTime(0, 0))
        return date(moment.date());
    return date(moment.date()) + ' ' +
           ProgramLocale::locale().toString(moment.time(), QLocale::ShortFormat);
}

bool ReportText::isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QString ReportText::value(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate:
        return date(value.toDate());
    case QMetaType::QDateTime:
        return moment(value.toDateTime());
    case QMetaType::Double:
    case QMetaType::Float: {
        // Rounded to a whole number; one beyond the 64-bit integers is not rounded through them.
        const double number = value.toDouble();
        if (std::fabs(number) < 9.0e18)
            return QString::number(qRound64(number));
        return QString::number(number, 'f', 0);
    }
    default:
        break;
    }
    if (isNumber(value))
        return QString::number(value.toLongLong());
    return value.toString();
}

#include "RussianCount.h"

QString RussianCount::of(qint64 n, const QString& one, const QString& few, const QString& many)
{
    const qint64 tens = n % 100;
    const qint64 units = n % 10;
    const QString& word = (tens >= 11 && tens <= 14)   ? many
                          : units == 1                 ? one
                          : (units >= 2 && units <= 4) ? few
                                                       : many;
    return QStringLiteral("%1 %2").arg(n).arg(word);
}

QString RussianCount::calls(qint64 n)
{
    return of(n, QStringLiteral("звонок"), QStringLiteral("звонка"), QStringLiteral("звонков"));
}

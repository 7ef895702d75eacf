#include "Money.h"

#include <QList>
#include <limits>

// 128-bit intermediates keep kopeck sums exact.
__extension__ typedef __int128 Wide;

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F) || c == QChar(0x2009);
}

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// The integer part with its groups joined: "15 000" -> "15000"; empty when the blanks do not
// separate groups of three digits.
QString joinedGroups(const QString& whole)
{
    QStringList groups;
    QString group;
    for (const QChar c : whole) {
        if (isBlank(c)) {
            groups << group;
            group.clear();
        } else {
            group += c;
        }
    }
    groups << group;
    for (int i = 0; i < groups.size(); ++i) {
        const QString& g = groups.at(i);
        if (!allDigits(g) || (i > 0 && g.size() != 3) ||
            (i == 0 && groups.size() > 1 && g.size() > 3))
            return QString();
    }
    return groups.join(QString());
}

// The least common multiple of the month lengths 28, 29, 30 and 31.
constexpr qint64 monthLengthsMultiple = 377580;

} // namespace

Outcome<qint64> Money::parse(const QString& input)
{
    QString text = input;
    while (!text.isEmpty() && (text.front().isSpace() || isBlank(text.front())))
        text.remove(0, 1);
    while (!text.isEmpty() && (text.back().isSpace() || isBlank(text.back())))
        text.chop(1);
    const QString shown = text;
    const QString notAnAmount =
        QStringLiteral("«%1» — не сумма: укажите рубли и копейки цифрами, например 15 000,50")
            .arg(shown);
    if (text.isEmpty())
        return Outcome<qint64>::failure(QStringLiteral("Сумма не указана"));
    if (text.front() == u'-' || text.front() == QChar(0x2212)) {
        QString rest = text.mid(1);
        return Outcome<qint64>::failure(
            Money::parse(rest).ok()
                ? QStringLiteral("Сумма не может быть отрицательной: «%1»").arg(shown)
                : notAnAmount);
    }
    const int separator = int(std::max(text.indexOf(u','), text.indexOf(u'.')));
    if (text.count(u',') + text.count(u'.') > 1)
        return Outcome<qint64>::failure(notAnAmount);
    const QString whole = separator < 0 ? text : text.left(separator);
    const QString fraction = separator < 0 ? QString() : text.mid(separator + 1);
    const QString digits = joinedGroups(whole);
    if (digits.isEmpty() || (separator >= 0 && !allDigits(fraction)))
        return Outcome<qint64>::failure(notAnAmount);
    if (fraction.size() > 2)
        return Outcome<qint64>::failure(
            QStringLiteral("«%1»: копеек не больше двух знаков после запятой").arg(shown));
    const QString tooLarge =
        QStringLiteral("«%1»: сумма больше %2 руб.").arg(shown, display(maxKopecks));
    QString significant = digits;
    while (significant.size() > 1 && significant.front() == u'0')
        significant.remove(0, 1);
    if (significant.size() > 13)
        return Outcome<qint64>::failure(tooLarge);
    const qint64 kopecks =
        significant.toLongLong() * 100 + (fraction + QStringLiteral("00")).left(2).toLongLong();
    if (kopecks > maxKopecks)
        return Outcome<qint64>::failure(tooLarge);
    return kopecks;
}

QString Money::plain(qint64 kopecks)
{
    const QString sign = kopecks < 0 ? QStringLiteral("-") : QString();
    const quint64 magnitude = kopecks < 0 ? 0 - quint64(kopecks) : quint64(kopecks);
    return QStringLiteral("%1%2.%3")
        .arg(sign)
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QChar(u'0'));
}

QString Money::display(qint64 kopecks)
{
    QString text = plain(kopecks);
    const qsizetype point = text.indexOf(u'.');
    text[point] = u',';
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    for (qsizetype at = point - 3; at > start; at -= 3)
        text.insert(at, QChar(0x00A0));
    return text;
}

std::optional<qint64> Money::divide(qint64 numerator, qint64 denominator)
{
    if (denominator == 0)
        return std::nullopt;
    const Wide n = numerator;
    const Wide d = denominator;
    const bool negative = (n < 0) != (d < 0);
    const Wide an = n < 0 ? -n : n;
    const Wide ad = d < 0 ? -d : d;
    const Wide q = (2 * an + ad) / (2 * ad);
    return qint64(negative ? -q : q);
}

qint64 Money::prorate(const QList<MonthAmount>& months, const QDate& from, const QDate& to)
{
    if (!from.isValid() || !to.isValid() || from > to)
        return 0;
    // The exact sum over the common multiple of the month lengths, then one rounding.
    Wide sum = 0;
    for (const MonthAmount& month : months) {
        const QDate first(month.month.year(), month.month.month(), 1);
        const QDate last = first.addMonths(1).addDays(-1);
        const QDate start = std::max(first, from);
        const QDate end = std::min(last, to);
        if (start > end)
            continue;
        const qint64 covered = start.daysTo(end) + 1;
        sum += Wide(month.kopecks) * covered * (monthLengthsMultiple / first.daysInMonth());
    }
    const Wide rounded = (2 * sum + monthLengthsMultiple) / (2 * monthLengthsMultiple);
    return rounded > std::numeric_limits<qint64>::max() ? std::numeric_limits<qint64>::max()
                                                        : qint64(rounded);
}

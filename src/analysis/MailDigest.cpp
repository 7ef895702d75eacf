#include "MailDigest.h"

#include "DigestOption.h"
#include "LocaleText.h"
#include "Money.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QLocale& russian()
{
    static const QLocale locale(QLocale::Russian, QLocale::Russia);
    return locale;
}

const QColor callsColour(0x9e, 0xca, 0xe1);
const QColor bookedColour(0x31, 0x82, 0xbd);

QString rub(qint64 kopecks)
{
    return Money::display(kopecks) + QStringLiteral("\u00A0руб.");
}

QString sourceLine(const SourceFigures& f)
{
    return QStringLiteral("%1: %2 за запись (записей: %3, расход: %4)")
        .arg(f.name, rub(*f.costPerBooking()), MailDigest::count(f.booked), rub(*f.spend));
}

} // namespace

MailDigest::MailDigest(const AnalysisPeriod& period, const QVector<Day>& days, qint64 previousCalls,
                       qint64 previousBooked, const QVector<SourceFigures>& sources)
    : m_period(period), m_previousCalls(previousCalls), m_previousBooked(previousBooked),
      m_ranking(rank(sources))
{
    for (QDate d = period.from(); period.isValid() && d <= period.to(); d = d.addDays(1))
        m_days.append({d, 0, 0});
    for (const Day& day : days) {
        const qint64 index = period.from().daysTo(day.date);
        if (!day.date.isValid() || index < 0 || index >= m_days.size())
            continue;
        m_days[index].calls += day.calls;
        m_days[index].booked += day.booked;
        m_calls += day.calls;
        m_booked += day.booked;
    }
}

MailDigest::Ranking MailDigest::rank(const QVector<SourceFigures>& sources)
{
    Ranking ranking;
    QVector<SourceFigures> ranked;
    for (const SourceFigures& f : sources) {
        // An amount of 0 entered on purpose is a spend: such a source is free, not unpriced.
        if (!f.spend) {
            if (f.calls > 0)
                ranking.withoutSpend << f.name;
        } else if (!f.costPerBooking()) {
            ranking.withoutBookings << f.name;
        } else {
            ranked << f;
        }
    }
    // Equal costs keep the list's order.
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return *a.costPerBooking() < *b.costPerBooking();
    });
    const int best = int(std::min<qsizetype>(kRanked, ranked.size()));
    ranking.best = ranked.mid(0, best);
    const int worst = int(std::min<qsizetype>(kRanked, ranked.size() - best));
    for (int i = 0; i < worst; ++i)
        ranking.worst << ranked.at(ranked.size() - 1 - i);
    return ranking;
}

QString MailDigest::count(qint64 value)
{
    return russian().toString(value);
}

QString MailDigest::percent(double share)
{
    return russian().toString(share * 100, 'f', 1) + QStringLiteral("\u00A0%");
}

QString MailDigest::change(qint64 now, qint64 before)
{
    const std::optional<double> share = SourceFigures::change(now, before);
    if (!share)
        return QString();
    QString magnitude = percent(std::abs(*share));
    if (magnitude == percent(0.0))
        return magnitude;
    return (*share > 0 ? QStringLiteral("+") : QStringLiteral("\u2212")) + magnitude;
}

QString MailDigest::date(const QDate& date)
{
    return LocaleText::date(date, russian());
}

QString MailDigest::periodLine() const
{
    const AnalysisPeriod before = m_period.previous();
    return QStringLiteral("Сводка за %1 – %2 в сравнении с %3 – %4")
        .arg(date(m_period.from()), date(m_period.to()), date(before.from()), date(before.to()));
}

QStringList MailDigest::figureLines() const
{
    auto withBefore = [](const QString& caption, qint64 now, qint64 before) {
        const QString delta = change(now, before);
        return QStringLiteral("%1: %2 (было %3%4)")
            .arg(caption, count(now), count(before),
                 delta.isEmpty() ? QString() : QStringLiteral(", ") + delta);
    };
    QStringList lines{withBefore(QStringLiteral("Звонков"), m_calls, m_previousCalls),
                      withBefore(QStringLiteral("Записей"), m_booked, m_previousBooked)};
    SourceFigures all;
    all.calls = m_calls;
    all.booked = m_booked;
    SourceFigures before;
    before.calls = m_previousCalls;
    before.booked = m_previousBooked;
    const std::optional<double> rate = all.rate();
    const std::optional<double> previousRate = before.rate();
    QString rateLine = QStringLiteral("Доля записей: %1")
                           .arg(rate ? percent(*rate) : QStringLiteral("нет звонков"));
    if (previousRate) {
        rateLine += QStringLiteral(" (было %1").arg(percent(*previousRate));
        if (rate) {
            // The difference of the rounded shares, in percentage points.
            const double points =
                std::round(*rate * 1000) / 10 - std::round(*previousRate * 1000) / 10;
            const QString magnitude = russian().toString(std::abs(points), 'f', 1);
            rateLine += QStringLiteral(", %1%2\u00A0п.\u00A0п.")
                            .arg(points > 0.04    ? QStringLiteral("+")
                                 : points < -0.04 ? QStringLiteral("\u2212")
                                                  : QString(),
                                 magnitude);
        }
        rateLine += QLatin1Char(')');
    }
    lines << rateLine;
    return lines;
}

QString MailDigest::text() const
{
    QStringList lines{periodLine(), QString()};
    lines << figureLines() << QString();
    if (m_ranking.best.isEmpty()) {
        lines << QStringLiteral("Цену записи не посчитать ни для одного источника.");
    } else {
        lines << QStringLiteral("Самая низкая цена записи:");
        for (int i = 0; i < m_ranking.best.size(); ++i)
            lines << QStringLiteral("%1. %2").arg(i + 1).arg(sourceLine(m_ranking.best.at(i)));
    }
    if (!m_ranking.worst.isEmpty()) {
        lines << QStringLiteral("Самая высокая цена записи:");
        for (int i = 0; i < m_ranking.worst.size(); ++i)
            lines << QStringLiteral("%1. %2").arg(i + 1).arg(sourceLine(m_ranking.worst.at(i)));
    }
    if (!m_ranking.withoutSpend.isEmpty())
        lines << QStringLiteral("Без расходов (в сравнение цены записи не вошли): %1")
                     .arg(m_ranking.withoutSpend.join(QStringLiteral(", ")));
    if (!m_ranking.withoutBookings.isEmpty())
        lines << QStringLiteral("Без записей (в сравнение цены записи не вошли): %1")
                     .arg(m_ranking.withoutBookings.join(QStringLiteral(", ")));
    lines << QString()
          << QStringLiteral("Подробности — во вложенных отчетах; график звонков по дням — "
                            "в HTML-версии письма.");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString MailDigest::html() const
{
    auto escaped = [](const QString& text) { return text.toHtmlEscaped(); };
    QString out;
    out += QStringLiteral("<h3>%1</h3>\n").arg(escaped(periodLine()));
    out += QStringLiteral("<p>");
    QStringList figures = figureLines();
    for (QString& line : figures)
        line = escaped(line);
    out += figures.join(QStringLiteral("<br>\n"));
    out += QStringLiteral("</p>\n");
    auto table = [&](const QString& caption, const QVector<SourceFigures>& rows) {
        if (rows.isEmpty())
            return;
        out += QStringLiteral("<p><b>%1</b></p>\n<table border=\"1\" cellspacing=\"0\" "
                              "cellpadding=\"4\">\n<tr><th>Источник</th><th>Цена записи, "
                              "руб.</th><th>Записей</th><th>Расход, руб.</th></tr>\n")
                   .arg(escaped(caption));
        for (const SourceFigures& f : rows)
            out += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td>"
                                  "<td align=\"right\">%3</td><td align=\"right\">%4</td></tr>\n")
                       .arg(escaped(f.name), Money::display(*f.costPerBooking()), count(f.booked),
                            Money::display(*f.spend));
        out += QStringLiteral("</table>\n");
    };
    if (m_ranking.best.isEmpty())
        out += QStringLiteral("<p>Цену записи не посчитать ни для одного источника.</p>\n");
    table(QStringLiteral("Самая низкая цена записи"), m_ranking.best);
    table(QStringLiteral("Самая высокая цена записи"), m_ranking.worst);
    if (!m_ranking.withoutSpend.isEmpty())
        out += QStringLiteral("<p>Без расходов (в сравнение цены записи не вошли): %1</p>\n")
                   .arg(escaped(m_ranking.withoutSpend.join(QStringLiteral(", "))));
    if (!m_ranking.withoutBookings.isEmpty())
        out += QStringLiteral("<p>Без записей (в сравнение цены записи не вошли): %1</p>\n")
                   .arg(escaped(m_ranking.withoutBookings.join(QStringLiteral(", "))));
    out += QStringLiteral("<p><b>Звонки по дням</b> (светлые столбики — все звонки, тёмные — "
                          "записи)</p>\n<p><img src=\"cid:%1\" alt=\"Звонки по дням\" "
                          "width=\"%2\" height=\"%3\"></p>\n")
               .arg(QString::fromLatin1(DigestOption::chartContentId))
               .arg(kChartWidth)
               .arg(kChartHeight);
    out += QStringLiteral("<p>Подробности — во вложенных отчетах.</p>\n");
    return out;
}

QImage MailDigest::chart() const
{
    constexpr int width = kChartWidth;
    constexpr int height = kChartHeight;
    constexpr int left = 44;
    constexpr int right = 8;
    constexpr int top = 10;
    constexpr int bottom = 22;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    qint64 highest = 1;
    for (const Day& day : m_days)
        highest = std::max(highest, day.calls);
    const QRectF plot(left, top, width - left - right, height - top - bottom);
    painter.setPen(QColor(0xbb, 0xbb, 0xbb));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    const int n = int(std::max<qsizetype>(1, m_days.size()));
    const double slot = plot.width() / n;
    const double bar = std::max(1.0, slot * 0.8);
    auto barRect = [&](int i, qint64 value) {
        const double h = plot.height() * double(value) / double(highest);
        return QRectF(plot.left() + i * slot + (slot - bar) / 2, plot.bottom() - h, bar, h);
    };
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < m_days.size(); ++i) {
        painter.setBrush(callsColour);
        painter.drawRect(barRect(i, m_days.at(i).calls));
        painter.setBrush(bookedColour);
        painter.drawRect(barRect(i, m_days.at(i).booked));
    }
    // Text needs the fonts of a GUI application (the command line has one, offscreen).
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) && !m_days.isEmpty()) {
        QFont font = painter.font();
        font.setPixelSize(11);
        painter.setFont(font);
        painter.setPen(QColor(0x44, 0x44, 0x44));
        painter.drawText(QRectF(0, top - 6, left - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                         count(highest));
        painter.drawText(QRectF(0, plot.bottom() - 7, left - 4, 14),
                         Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));
        const QRectF labels(plot.left(), plot.bottom() + 3, plot.width(), bottom - 4);
        painter.drawText(labels, Qt::AlignLeft | Qt::AlignVCenter, date(m_days.first().date));
        if (m_days.size() > 1)
            painter.drawText(labels, Qt::AlignRight | Qt::AlignVCenter, date(m_days.last().date));
    }
    painter.end();
    return image;
}

QByteArray MailDigest::chartPng() const
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart().save(&buffer, "PNG");
    return png;
}

#include "ReportPainter.h"

#include "Twips.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>

void ReportPainter::paint(QPainter& painter, const ReportPage& page, qreal scale)
{
    painter.save();
    painter.scale(scale, scale);
    painter.setPen(Qt::black);
    for (const ReportItem& item : page.items) {
        if (item.background.isValid())
            painter.fillRect(item.rect, item.background);
        if (item.text.isEmpty())
            continue;
        painter.setFont(item.font);
        // A box lower than one line keeps its text whole downwards; sideways it never spills.
        const qreal lineHeight = QFontMetricsF(item.font).height();
        const QRectF box(item.rect.left(), item.rect.top(), item.rect.width(),
                         qMax<qreal>(item.rect.height(), lineHeight));
        painter.save();
        painter.setClipRect(box);
        painter.drawText(box, int(item.alignment) | Qt::TextSingleLine, item.text);
        painter.restore();
    }
    painter.restore();
}

bool ReportPainter::print(const QVector<ReportPage>& pages, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const qreal scale = device.logicalDpiX() / double(Twips::perInch);
    bool first = true;
    for (const ReportPage& page : pages) {
        if (!first && !device.newPage()) {
            painter.end();
            return false;
        }
        first = false;
        paint(painter, page, scale);
    }
    return painter.end();
}

QImage ReportPainter::render(const ReportPage& page, int dpi)
{
    const qreal scale = dpi / double(Twips::perInch);
    QImage image(qCeil(page.size.width() * scale), qCeil(page.size.height() * scale),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    paint(painter, page, scale);
    painter.end();
    return image;
}

QPageSize ReportPainter::pageSize(const QSize& twips)
{
    const QSizeF millimetres(twips.width() * 25.4 / Twips::perInch,
                             twips.height() * 25.4 / Twips::perInch);
    return QPageSize(millimetres, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
}

QSize ReportPainter::twips(const QPageSize& pageSize)
{
    const QSizeF points = pageSize.size(QPageSize::Point);
    return QSize(qRound(points.width() * 20), qRound(points.height() * 20));
}

#pragma once

#include "ReportPage.h"

#include <QImage>
#include <QPageSize>
#include <QVector>

class QPagedPaintDevice;
class QPainter;

// Draws laid-out pages; the same pages on the preview, the printer, a PDF file or an image.
class ReportPainter
{
public:
    // Draws one page with the painter's origin at the sheet's top left corner; scale is device
    // units per twip.
    static void paint(QPainter& painter, const ReportPage& page, qreal scale);
    // Draws all pages on a paged device (printer, PDF writer), one sheet each, at the device's
    // resolution; the device's page layout is expected to be the pages' sheet with no margins.
    static bool print(const QVector<ReportPage>& pages, QPagedPaintDevice& device);
    // One page as an image at the given resolution (dots per inch).
    static QImage render(const ReportPage& page, int dpi = 96);
    // The paper of a sheet size in twips (A4 when it is A4).
    static QPageSize pageSize(const QSize& twips);
    // A sheet size in twips.
    static QSize twips(const QPageSize& pageSize);
};

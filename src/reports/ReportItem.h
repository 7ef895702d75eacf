#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

// One text placed on a report page; the rectangle is in twips from the page's top left
// corner, the font's pixel size in twips.
struct ReportItem
{
    QString section;
    QString control;
    QString text;     // as printed (elided when wider than its box)
    QString fullText; // the whole value
    QRect rect;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    int row = -1;      // the detail row it prints, -1 outside the detail band
    QColor background; // fills the rectangle under the text when valid (a rule without text)
};

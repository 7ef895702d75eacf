#pragma once

#include "ReportItem.h"

#include <QRect>
#include <QSize>
#include <QVector>

// One laid-out page: the bands placed on it and their texts, in twips.
struct ReportPage
{
    struct Band
    {
        QString section;
        QRect rect;
        int row = -1; // detail row, -1 for other bands
    };

    int number = 0; // 1-based
    QSize size;     // the whole sheet
    QVector<Band> bands;
    QVector<ReportItem> items;

    // The items of one section (all of them when the section is empty), in page order.
    QVector<ReportItem> itemsOf(const QString& section) const;
    const ReportItem* item(const QString& section, const QString& control, int row = -1) const;
};

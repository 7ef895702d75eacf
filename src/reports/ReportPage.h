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

    // The item of a control in a section (and detail row); nullptr when there is none.
    const ReportItem* item(const QString& section, const QString& control, int row = -1) const;
};

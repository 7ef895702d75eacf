#include "ReportPage.h"

const ReportItem* ReportPage::item(const QString& section, const QString& control, int row) const
{
    for (const ReportItem& item : items)
        if (item.section.compare(section, Qt::CaseInsensitive) == 0 &&
            item.control.compare(control, Qt::CaseInsensitive) == 0 && item.row == row)
            return &item;
    return nullptr;
}

#pragma once

#include <QDate>
#include <QString>
#include <optional>

// Which calls the journal lists. An invalid date leaves that end of the period open; an empty
// name, desk or search matches every call. Names match without regard to letter case, as the
// reports count them; the search is a case-insensitive part of the service or source name.
struct CallFilter
{
    QDate from;
    QDate to;
    QString service;
    QString source;
    std::optional<bool> booked;
    QString desk;
    QString search;
};

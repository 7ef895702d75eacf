#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariantList>

// One call as it is stored: its date, the service and the source named as listed, whether the
// caller booked, and the time of day (invalid: none).
struct Call
{
    QDate date;
    QString service;
    QString source;
    bool booked = false;
    QTime time;

    // The values in the order the insert statements take them.
    QVariantList values() const { return {date, service, source, booked, time}; }
};

#pragma once

#include "Dialogs.h"

#include <QDateTime>
#include <QString>
#include <QTime>

class SettingsStore;

// What the settings window loads and what its OK stores, without the window.
class SettingsEditor
{
public:
    // The values of the window's boxes.
    struct Fields
    {
        QString days;
        QTime time;
        QString tems;
        QString senders;
        QDateTime nextDate; // invalid when none is stored
    };

    // The stored settings as the window shows them; `now` stands in for a missing or
    // unreadable time of day.
    static Fields load(const SettingsStore& store, const QTime& now);

    struct Outcome
    {
        bool saved = false;
        QDateTime nextDate;       // today plus the period, when saved
        Dialogs::Message message; // to show the operator in either case
    };

    // Stores the five settings with the next date counted from `today`. A period that is empty
    // or no number stores nothing and says so; so does a store that cannot be written.
    static Outcome confirm(SettingsStore& store, const Fields& fields, const QDate& today);
};

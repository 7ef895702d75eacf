#pragma once

#include "ReportLayout.h"

#include <QStringList>

// The four report layouts; each is one object for the life of the program, created on first
// use.
class ReportLayouts
{
public:
    // Layout by name ("RepkolVo", "ReportKvUsl", "ReportInternet", "ReportDates"), without
    // regard to case; nullptr for an unknown name.
    static ReportLayout* get(const QString& name);
    static QStringList names();

    // A new, unshared instance of a layout's design (nullptr for an unknown name).
    static std::unique_ptr<ReportLayout> create(const QString& name);
};

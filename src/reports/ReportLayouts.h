#pragma once

#include "ReportLayout.h"

#include <QStringList>

class ReportKind;
#include <memory>

// The report layouts by name. A layout is a description: once built it is never changed, so
// each is one shared object for the life of the program, created on first use.
class ReportLayouts
{
public:
    // Layout by the name the catalogue gives it (ReportKind::layoutName()), without regard to
    // case; nullptr for an unknown name.
    static const ReportLayout* get(const QString& name);
    // The layouts of the report catalogue, in its order.
    static QStringList names();

    // A new, unshared instance of a layout's design (nullptr for an unknown name).
    static std::unique_ptr<const ReportLayout> create(const QString& name);
};

// The designs of the catalogue's layouts; the name, the command and the texts come from the
// report's entry.
namespace ReportDesigns {
std::unique_ptr<ReportLayout> repkolVo(const ReportKind& kind);
std::unique_ptr<ReportLayout> reportKvUsl(const ReportKind& kind);
std::unique_ptr<ReportLayout> reportInternet(const ReportKind& kind);
std::unique_ptr<ReportLayout> reportDates(const ReportKind& kind);
} // namespace ReportDesigns

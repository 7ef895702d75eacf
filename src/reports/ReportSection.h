#pragma once

#include "ReportControl.h"

#include <QString>
#include <memory>
#include <vector>

// One band of a report layout with its controls.
class ReportSection
{
public:
    enum class Role
    {
        ReportHeader, // once, at the start of the report
        PageHeader,   // at the top of every page
        Detail,       // once per row
        PageFooter,   // at the bottom of every page
        ReportFooter  // once, after the last detail band
    };

    ReportSection(const QString& name, Role role, int height);

    QString name() const { return m_name; }
    Role role() const { return m_role; }
    // Height in twips; 0 when the band takes no space.
    int height() const { return m_height; }

    ReportControl& add(ReportControl::Kind kind, const QString& name, const QString& text, int left,
                       int top, int width, int height);
    // Control by name, without regard to case; nullptr when there is none.
    ReportControl* control(const QString& name);
    const ReportControl* control(const QString& name) const;
    const std::vector<std::unique_ptr<ReportControl>>& controls() const { return m_controls; }

private:
    QString m_name;
    Role m_role;
    int m_height;
    std::vector<std::unique_ptr<ReportControl>> m_controls;
};

#include "ReportSection.h"

ReportSection::ReportSection(const QString& name, Role role, int height)
    : m_name(name), m_role(role), m_height(height)
{
}

ReportControl& ReportSection::add(ReportControl::Kind kind, const QString& name,
                                  const QString& text, int left, int top, int width, int height)
{
    m_controls.push_back(
        std::make_unique<ReportControl>(kind, name, text, QRect(left, top, width, height)));
    return *m_controls.back();
}

ReportControl* ReportSection::control(const QString& name)
{
    for (const auto& control : m_controls)
        if (control->name().compare(name, Qt::CaseInsensitive) == 0)
            return control.get();
    return nullptr;
}

const ReportControl* ReportSection::control(const QString& name) const
{
    return const_cast<ReportSection*>(this)->control(name);
}

#include "ReportLayout.h"

ReportLayout::ReportLayout(const QString& name, const QString& dataMember,
                           const QString& windowCaption, const QSize& previewClientSize,
                           int reportWidth)
    : m_name(name), m_dataMember(dataMember), m_windowCaption(windowCaption),
      m_previewClientSize(previewClientSize), m_reportWidth(reportWidth)
{
}

ReportSection& ReportLayout::addSection(const QString& name, ReportSection::Role role, int height)
{
    m_sections.push_back(std::make_unique<ReportSection>(name, role, height));
    return *m_sections.back();
}

ReportSection* ReportLayout::section(const QString& name)
{
    for (const auto& section : m_sections)
        if (section->name().compare(name, Qt::CaseInsensitive) == 0)
            return section.get();
    return nullptr;
}

const ReportSection* ReportLayout::section(const QString& name) const
{
    return const_cast<ReportLayout*>(this)->section(name);
}

const ReportSection* ReportLayout::section(ReportSection::Role role) const
{
    for (const auto& section : m_sections)
        if (section->role() == role)
            return section.get();
    return nullptr;
}

QString ReportLayout::title() const
{
    const ReportSection* header = section(headerSection);
    const ReportControl* label = header ? header->control(titleLabel) : nullptr;
    return label ? label->caption() : QString();
}

const ReportControl* ReportLayout::periodLabel() const
{
    const ReportSection* header = section(headerSection);
    return header ? header->control(periodLabelName) : nullptr;
}

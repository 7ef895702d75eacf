#include "ReportLayout.h"

ReportLayout::ReportLayout(const QString& name, const QString& dataMember,
                           const QString& windowCaption, const QSize& previewClientSize,
                           int reportWidth)
    : m_name(name), m_dataMember(dataMember), m_windowCaption(windowCaption),
      m_previewClientSize(previewClientSize), m_reportWidth(reportWidth)
{
}

std::unique_ptr<ReportLayout> ReportLayout::clone() const
{
    auto copy = std::make_unique<ReportLayout>(m_name, m_dataMember, m_windowCaption,
                                               m_previewClientSize, m_reportWidth);
    for (const auto& section : m_sections) {
        ReportSection& target =
            copy->addSection(section->name(), section->role(), section->height());
        for (const auto& control : section->controls()) {
            const QRect r = control->rect();
            const QString text = control->kind() == ReportControl::Kind::Label ? control->caption()
                                                                               : control->field();
            target
                .add(control->kind(), control->name(), text, r.left(), r.top(), r.width(),
                     r.height())
                .setFont(control->fontFamily(), control->fontPoints(), control->isBold());
        }
    }
    return copy;
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

QString ReportLayout::periodText() const
{
    const ReportSection* header = section(headerSection);
    const ReportControl* label = header ? header->control(periodLabel) : nullptr;
    return label ? label->caption() : QString();
}

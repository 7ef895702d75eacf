#pragma once

#include "ReportSection.h"

#include <QSize>
#include <QString>
#include <memory>
#include <vector>

// A banded report layout held as data: the command whose row set it prints, the preview
// window's caption and client size, and its sections from top to bottom.
class ReportLayout
{
public:
    ReportLayout(const QString& name, const QString& dataMember, const QString& windowCaption,
                 const QSize& previewClientSize, int reportWidth = 0);


    QString name() const { return m_name; }
    // The command whose open row set the layout prints.
    QString dataMember() const { return m_dataMember; }
    QString rowSetName() const { return "rs" + m_dataMember; }
    QString windowCaption() const { return m_windowCaption; }
    // Client area of the preview window, in twips.
    QSize previewClientSize() const { return m_previewClientSize; }
    // Report width in twips; 0 leaves it to the renderer (the printable width of the page).
    int reportWidth() const { return m_reportWidth; }

    ReportSection& addSection(const QString& name, ReportSection::Role role, int height);
    // Section by name, without regard to case; nullptr when there is none.
    ReportSection* section(const QString& name);
    const ReportSection* section(const QString& name) const;
    // The first section of a role; nullptr when there is none.
    const ReportSection* section(ReportSection::Role role) const;
    const std::vector<std::unique_ptr<ReportSection>>& sections() const { return m_sections; }

    // The report header's title, and its period label: the label that prints the period of
    // the report in place of its design caption.
    QString title() const;
    const ReportControl* periodLabel() const;

    static constexpr const char* headerSection = "Section4";
    static constexpr const char* titleLabel = "Label1";
    static constexpr const char* periodLabelName = "Data";

private:
    QString m_name;
    QString m_dataMember;
    QString m_windowCaption;
    QSize m_previewClientSize;
    int m_reportWidth;
    std::vector<std::unique_ptr<ReportSection>> m_sections;
};

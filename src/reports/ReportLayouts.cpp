#include "ReportLayouts.h"

#include "ReportKind.h"

#include <map>

namespace {

using Kind = ReportControl::Kind;
using Role = ReportSection::Role;

const QString family = QStringLiteral("Arial");
constexpr qreal normalPoints = 8.25;
constexpr qreal titlePoints = 14.25;

// The report header: title and period label.
void addHeader(ReportLayout& layout, int height, const QString& title, int titleWidth,
               int periodTop)
{
    ReportSection& header = layout.addSection("Section4", Role::ReportHeader, height);
    header.add(Kind::Label, "Label1", title, 0, 0, titleWidth, 405)
        .setFont(family, titlePoints, false);
    header.add(Kind::Label, "data", "Data", 0, periodTop, 3945, 240);
}

void addHeading(ReportSection& section, const QString& name, const QString& text, int left,
                int width, int height = 195)
{
    section.add(Kind::Label, name, text, left, 0, width, height)
        .setFont(family, normalPoints, true);
}

} // namespace

std::unique_ptr<ReportLayout> ReportDesigns::repkolVo(const ReportKind& kind)
{
    auto layout = std::make_unique<ReportLayout>(kind.layoutName(), kind.command(), kind.caption(),
                                                 QSize(8670, 7425), 7965);
    addHeader(*layout, 1125, kind.title(), 6510, 435);
    ReportSection& headings = layout->addSection("Section2", Role::PageHeader, 330);
    addHeading(headings, "Label3", QStringLiteral("Название источника"), 0, 1815);
    addHeading(headings, "Label4", QStringLiteral("Кол-во звонков"), 3450, 1395);
    addHeading(headings, "Label5", QStringLiteral("Кол-во записи"), 5700, 1845);
    ReportSection& detail = layout->addSection("Section1", Role::Detail, 405);
    detail.add(Kind::TextBox, "Text1", "IName", 0, 0, 3225, 225);
    detail.add(Kind::TextBox, "Text2", "Zvonkov", 3450, 0, 1260, 240);
    detail.add(Kind::TextBox, "Text3", "zapis", 5685, 0, 1560, 225);
    layout->addSection("Section3", Role::PageFooter, 0);
    ReportSection& totals = layout->addSection("Section5", Role::ReportFooter, 465);
    addHeading(totals, "Label2", QStringLiteral("Итого:"), 1995, 1320);
    totals.add(Kind::Function, "Function1", "Zvonkov", 3450, 0, 1455, 210);
    totals.add(Kind::Function, "Function2", "zapis", 5685, 0, 1590, 210);
    return layout;
}

std::unique_ptr<ReportLayout> ReportDesigns::reportKvUsl(const ReportKind& kind)
{
    auto layout = std::make_unique<ReportLayout>(kind.layoutName(), kind.command(), kind.caption(),
                                                 QSize(8445, 5370));
    addHeader(*layout, 1155, kind.title(), 6960, 454);
    ReportSection& headings = layout->addSection("Section2", Role::PageHeader, 345);
    addHeading(headings, "Label3", QStringLiteral("Название услуги"), 0, 1815);
    addHeading(headings, "Label4", QStringLiteral("Кол-во звонков"), 3572, 1395);
    addHeading(headings, "Label5", QStringLiteral("Кол-во записи"), 5726, 1474);
    ReportSection& detail = layout->addSection("Section1", Role::Detail, 390);
    detail.add(Kind::TextBox, "Text1", "Uname", 57, 0, 3288, 225);
    detail.add(Kind::TextBox, "Text2", "Zvonkov", 3572, 0, 1185, 225);
    detail.add(Kind::TextBox, "Text3", "zapis", 5726, 0, 1635, 225);
    layout->addSection("Section3", Role::PageFooter, 0);
    ReportSection& totals = layout->addSection("Section5", Role::ReportFooter, 750);
    addHeading(totals, "Label2", QStringLiteral("Итого:"), 2041, 1320);
    totals.add(Kind::Function, "Function1", "Zvonkov", 3572, 0, 1455, 210);
    totals.add(Kind::Function, "Function2", "zapis", 5726, 0, 1590, 210);
    return layout;
}

std::unique_ptr<ReportLayout> ReportDesigns::reportInternet(const ReportKind& kind)
{
    auto layout = std::make_unique<ReportLayout>(kind.layoutName(), kind.command(), kind.caption(),
                                                 QSize(8010, 5025));
    addHeader(*layout, 1155, kind.title(), 6510, 510);
    ReportSection& headings = layout->addSection("Section2", Role::PageHeader, 330);
    addHeading(headings, "Label3", QStringLiteral("Название услуги"), 0, 1815);
    addHeading(headings, "Label4", QStringLiteral("Кол-во звонков"), 3515, 1395);
    addHeading(headings, "Label5", QStringLiteral("Кол-во записи"), 5726, 1395);
    ReportSection& detail = layout->addSection("Section1", Role::Detail, 390);
    detail.add(Kind::TextBox, "Text1", "Uname", 0, 0, 3165, 270);
    detail.add(Kind::TextBox, "Text2", "Zvonkov", 3515, 0, 1200, 225);
    detail.add(Kind::TextBox, "Text3", "zapis", 5726, 0, 840, 225);
    layout->addSection("Section3", Role::PageFooter, 0);
    ReportSection& totals = layout->addSection("Section5", Role::ReportFooter, 645);
    addHeading(totals, "Label2", QStringLiteral("Итого:"), 2041, 1320);
    totals.add(Kind::Function, "Function1", "Zvonkov", 3515, 0, 1245, 225);
    totals.add(Kind::Function, "Function2", "zapis", 5726, 0, 1125, 225);
    return layout;
}

std::unique_ptr<ReportLayout> ReportDesigns::reportDates(const ReportKind& kind)
{
    auto layout = std::make_unique<ReportLayout>(kind.layoutName(), kind.command(), kind.caption(),
                                                 QSize(7650, 4770));
    addHeader(*layout, 1125, kind.title(), 6510, 567);
    ReportSection& headings = layout->addSection("Section2", Role::PageHeader, 375);
    addHeading(headings, "Label2", QStringLiteral("Дата"), 0, 1395);
    addHeading(headings, "Label4", QStringLiteral("Кол-во звонков"), 3450, 1395);
    addHeading(headings, "Label5", QStringLiteral("Кол-во записи"), 5700, 1395);
    ReportSection& detail = layout->addSection("Section1", Role::Detail, 360);
    detail.add(Kind::TextBox, "Text2", "Data", 0, 0, 795, 225);
    detail.add(Kind::TextBox, "Text1", "Vsego", 3458, 0, 1470, 225);
    detail.add(Kind::TextBox, "Text3", "Zapis", 5726, 0, 1185, 165);
    layout->addSection("Section3", Role::PageFooter, 0);
    ReportSection& totals = layout->addSection("Section5", Role::ReportFooter, 630);
    addHeading(totals, "Label3", QStringLiteral("Всего:"), 2154, 1200, 225);
    totals.add(Kind::Function, "Function1", "Vsego", 3458, 0, 1350, 225);
    totals.add(Kind::Function, "Function2", "Zapis", 5726, 0, 1185, 225);
    return layout;
}

namespace {

std::map<QString, std::unique_ptr<const ReportLayout>>& instances()
{
    static std::map<QString, std::unique_ptr<const ReportLayout>> layouts;
    return layouts;
}

} // namespace

QStringList ReportLayouts::names()
{
    QStringList names;
    for (const ReportKind& kind : ReportKind::all())
        names << kind.layoutName();
    return names;
}

std::unique_ptr<const ReportLayout> ReportLayouts::create(const QString& name)
{
    const ReportKind* kind = ReportKind::findByLayout(name);
    return kind ? kind->design() : nullptr;
}

const ReportLayout* ReportLayouts::get(const QString& name)
{
    const QString key = name.toLower();
    auto& layouts = instances();
    auto found = layouts.find(key);
    if (found != layouts.end())
        return found->second.get();
    std::unique_ptr<const ReportLayout> layout = create(name);
    if (!layout)
        return nullptr;
    const ReportLayout* result = layout.get();
    layouts.emplace(key, std::move(layout));
    return result;
}

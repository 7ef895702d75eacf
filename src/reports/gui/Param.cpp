#include "Param.h"

#include "Clock.h"
#include "Controls.h"
#include "ReportKind.h"
#include "ReportPreview.h"
#include "ReportText.h"
#include "Twips.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>

namespace {

QDateEdit* addPicker(QWidget* parent, const char* name, const QRect& rect)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(name);
    picker->setGeometry(rect);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(ReportText::dateFormat());
    return picker;
}

} // namespace

Param::Param(std::function<int()> reportKind, DataEnv* env, QWidget* parent)
    : QDialog(parent), m_reportKind(std::move(reportKind)), m_env(env)
{
    setObjectName("Param");
    setWindowTitle(QStringLiteral("Параметры отчета"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips::size(4110, 2040));

    Controls::label(this, "Label1", QStringLiteral("Введите отчетный период"),
                    Twips::rect(240, 120, 2775, 255));
    Controls::label(this, "Label2", QStringLiteral("С"), Twips::rect(240, 600, 975, 255));
    m_data1 = addPicker(this, "Data1", Twips::rect(1320, 600, 1575, 315));
    Controls::label(this, "Label3", QStringLiteral("По"), Twips::rect(240, 960, 975, 255));
    m_data2 = addPicker(this, "Data2", Twips::rect(1320, 960, 1575, 315));

    m_ok = new QPushButton(QStringLiteral("&ОК"), this);
    m_ok->setObjectName("Ok");
    m_ok->setGeometry(Twips::rect(1440, 1440, 1335, 375));
    connect(m_ok, &QPushButton::clicked, this, &Param::dispatch);

    load();
}

void Param::showModal(std::function<int()> reportKind, DataEnv* env, QWidget* parent)
{
    Param dialog(std::move(reportKind), env, parent);
    dialog.exec();
}

void Param::load()
{
    const QDate today = Clock::today();
    m_data1->setDate(today.addDays(-7));
    m_data2->setDate(today);
}

ReportPeriod Param::period() const
{
    return ReportPeriod(m_data1->date(), m_data2->date());
}

void Param::dispatch()
{
    for (const ReportKind& kind : ReportKind::all())
        if (m_reportKind && m_reportKind() == kind.value())
            ReportPreview::showReport(kind, period(), m_env, this);
    accept();
}

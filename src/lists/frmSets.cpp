#include "frmSets.h"

#include "Controls.h"
#include "DataEnv.h"
#include "RowSet.h"
#include "Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>

frmSets::frmSets(QWidget* parent)
    : QDialog(parent), m_services(DataEnv::instance(), "Uslugi",
                                  {"Uname", QStringLiteral("Добавление услуги"),
                                   QStringLiteral("Введите имя услуги")}),
      m_sources(DataEnv::instance(), "Istochnik",
                {"IName", QStringLiteral("Добавление источника"),
                 QStringLiteral("Введите название источника рекламы")})
{
    setObjectName("frmSets");
    setWindowTitle(QStringLiteral("Настройки"));
    setFixedSize(Twips::size(6570, 6000));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    QListView* services = buildFrame(QStringLiteral("Услуги"), 0, "servicesFrame", "UslugiList",
                                     m_services, "addUsl", "delUsl");
    QListView* sources = buildFrame(QStringLiteral("Источники рекламы"), 3000, "sourcesFrame",
                                    "IstList", m_sources, "AddIst", "Command1");
    auto* servicesFrame = findChild<QGroupBox*>("servicesFrame");
    auto* sourcesFrame = findChild<QGroupBox*>("sourcesFrame");
    setTabOrder(servicesFrame, services);
    setTabOrder(services, findChild<QPushButton*>("addUsl"));
    setTabOrder(findChild<QPushButton*>("addUsl"), findChild<QPushButton*>("delUsl"));
    setTabOrder(findChild<QPushButton*>("delUsl"), sourcesFrame);
    setTabOrder(sourcesFrame, findChild<QPushButton*>("Command1"));
    setTabOrder(findChild<QPushButton*>("Command1"), findChild<QPushButton*>("AddIst"));
    setTabOrder(findChild<QPushButton*>("AddIst"), sources);
    if (!DataEnv::instance()->ownerRights())
        showReadOnly();
    Controls::centreOnScreen(this); // a moved dialog is not re-centred on its parent
}

QListView* frmSets::buildFrame(const QString& caption, int top, const char* frameName,
                               const char* listName, ReferenceList& list, const char* addName,
                               const char* deleteName)
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(frameName);
    frame->setGeometry(Twips::rect(120, top, 6375, 2895));

    auto* view = new QListView(frame);
    view->setObjectName(listName);
    view->setGeometry(Twips::rect(120, 240, 5175, 2400));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A double click renames the entry (and the calls that use it).
    connect(view, &QListView::doubleClicked, this, [this, &list](const QModelIndex& index) {
        if (!m_readOnly)
            list.rename(this, index.row());
    });
    view->setModel(list.rows());
    view->setModelColumn(qMax(0, list.rows()->columnIndex(list.column())));

    QFont buttonFont("MS Sans Serif");
    buttonFont.setPointSizeF(13.5);
    buttonFont.setBold(true);
    auto* add = new QPushButton("+", frame);
    add->setObjectName(addName);
    add->setGeometry(Twips::rect(5520, 1680, 495, 375));
    add->setFont(buttonFont);
    add->setAutoDefault(false);
    auto* remove = new QPushButton("-", frame);
    remove->setObjectName(deleteName);
    remove->setGeometry(Twips::rect(5520, 2160, 495, 375));
    remove->setFont(buttonFont);
    remove->setAutoDefault(false);

    connect(add, &QPushButton::clicked, this, [this, &list] { list.add(this); });
    connect(remove, &QPushButton::clicked, this, [this, &list, view] {
        list.remove(this, view->currentIndex().isValid() ? view->currentIndex().row() : -1);
    });
    return view;
}

void frmSets::showReadOnly()
{
    m_readOnly = true;
    for (const char* name : {"addUsl", "delUsl", "AddIst", "Command1"})
        findChild<QPushButton*>(name)->setEnabled(false);
    // A line below the lists, the window that much taller.
    auto* note = new QLabel(QStringLiteral("Только владелец может изменять списки"), this);
    note->setObjectName("ownerOnly");
    note->setGeometry(Twips::rect(120, 5940, 6330, 300));
    setFixedSize(Twips::size(6570, 6360));
}

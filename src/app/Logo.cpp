#include "Logo.h"

#include "AppIcon.h"
#include "Controls.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

QPointer<Logo> Logo::s_current;
Logo::OpenMain Logo::s_openMain;
int Logo::s_ticks = 0;
int Logo::s_interval = 1000;

namespace {
QLabel* label(QWidget* parent, const char* name, const QString& text, double points,
              const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    l->setFont(font);
    l->setGeometry(geometry);
    return l;
}

const QPoint lineFrom(Twips::toPixels(240), Twips::toPixels(960));
const QPoint lineTo(Twips::toPixels(5640), Twips::toPixels(960));
} // namespace

void Logo::setOpenMain(OpenMain openMain)
{
    s_openMain = std::move(openMain);
}

Logo* Logo::showSplash()
{
    if (s_current && s_current->isVisible())
        return s_current;
    if (!s_current)
        s_current = new Logo;
    s_current->show();
    return s_current;
}

Logo* Logo::current()
{
    return s_current;
}

Logo::Logo() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName("Logo");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Kalvent"));
    setFixedSize(Twips::size(5895, 2535));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    buildControls();

    Controls::centreOnScreen(this);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName("Timer1");
    m_timer1->setInterval(s_interval);
    connect(m_timer1, &QTimer::timeout, this, &Logo::tick);
    m_timer1->start();
}

Logo::~Logo()
{
    if (s_current == this)
        s_current = nullptr;
}

void Logo::buildControls()
{
    auto* image1 = new QLabel(this);
    image1->setObjectName("Image1");
    image1->setGeometry(Twips::rect(120, 360, 480, 480));
    image1->setPixmap(AppIcon::pixmap(image1->width()));

    label(this, "Label1", QStringLiteral("Kalvent"), 14.25, Twips::rect(840, 480, 2055, 375));
    label(this, "Label2", QStringLiteral("Программа для анализа эффективности рекламмы"), 8.25,
          Twips::rect(840, 1080, 4095, 255));
    label(this, "Label5", QStringLiteral("Версия 1.0"), 8.25, Twips::rect(3240, 1800, 855, 255));
}

void Logo::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(lineFrom, lineTo); // Line1
    painter.setPen(QColor(192, 192, 192));
    painter.drawRect(rect().adjusted(0, 0, -1, -1)); // Shape1
}

void Logo::closeEvent(QCloseEvent* event)
{
    m_timer1->stop();
    if (s_current == this)
        s_current = nullptr;
    QWidget::closeEvent(event);
}

void Logo::tick()
{
    ++s_ticks;
    if (s_ticks < ticksBeforeMain || m_opening)
        return;
    m_opening = true;
    const QPointer<Logo> self(this);
    if (s_openMain)
        s_openMain();
    if (!self)
        return;
    m_opening = false;
    close();
}

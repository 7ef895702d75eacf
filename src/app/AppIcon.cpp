#include "AppIcon.h"

#include <QPainter>
#include <QSvgRenderer>

static void initResources()
{
    Q_INIT_RESOURCE(kalvent_resources);
}

QPixmap AppIcon::pixmap(int side)
{
    initResources();
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/kalvent.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon AppIcon::icon()
{
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(pixmap(side));
    return icon;
}

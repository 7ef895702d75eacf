#pragma once

#include <QIcon>

// The program's icon (window, splash, tray).
class AppIcon
{
public:
    static QIcon icon();
    static QPixmap pixmap(int side);
};

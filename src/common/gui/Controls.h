#pragma once

#include <QGuiApplication>
#include <QLabel>
#include <QRect>
#include <QScreen>
#include <QString>

// Small builders for controls placed at fixed positions (see Twips).
namespace Controls {

inline QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

// Places a window that is not shown yet in the middle of the primary screen's free area.
inline void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace Controls

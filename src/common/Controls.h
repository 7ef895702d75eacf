#pragma once

#include <QLabel>
#include <QRect>
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

} // namespace Controls

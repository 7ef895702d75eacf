#pragma once

#include <QRect>
#include <QSize>
#include <QtMath>

// Layout unit of the windows and reports: 1/1440 inch; 15 twips are one pixel at 96 dpi.
namespace Twips {

constexpr int perPixel = 15;
constexpr int perInch = 1440;

inline int toPixels(int twips)
{
    return qRound(twips / double(perPixel));
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

} // namespace Twips

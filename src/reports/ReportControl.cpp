#include "ReportControl.h"

#include <QtMath>

ReportControl::ReportControl(Kind kind, const QString& name, const QString& text, const QRect& rect)
    : m_kind(kind), m_name(name), m_text(text), m_rect(rect)
{
}

ReportControl& ReportControl::setFont(const QString& family, qreal points, bool bold)
{
    m_fontFamily = family;
    m_fontPoints = points;
    m_bold = bold;
    return *this;
}

QFont ReportControl::twipFont() const
{
    QFont font(m_fontFamily);
    font.setPixelSize(qMax(1, qRound(m_fontPoints * 20)));
    font.setBold(m_bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

#pragma once

#include <QFont>
#include <QRect>
#include <QString>

// One control of a report section: a fixed label, a text box printing a field of the current
// row, or a function printing the sum of a field over all rows. Positions in twips, relative
// to the section's top left corner.
class ReportControl
{
public:
    enum class Kind
    {
        Label,
        TextBox,
        Function
    };

    ReportControl(Kind kind, const QString& name, const QString& text, const QRect& rect);

    Kind kind() const { return m_kind; }
    QString name() const { return m_name; }
    // The caption of a label.
    QString caption() const { return m_kind == Kind::Label ? m_text : QString(); }
    // The field a text box or a function prints.
    QString field() const { return m_kind == Kind::Label ? QString() : m_text; }
    QRect rect() const { return m_rect; }

    QString fontFamily() const { return m_fontFamily; }
    qreal fontPoints() const { return m_fontPoints; }
    bool isBold() const { return m_bold; }
    ReportControl& setFont(const QString& family, qreal points, bool bold);
    // The font at a pixel size in twips (1 pt = 20 twips), for drawing in twip coordinates.
    QFont twipFont() const;

    static constexpr const char* defaultFamily = "Arial";
    static constexpr qreal defaultPoints = 8.25;

private:
    Kind m_kind;
    QString m_name;
    QString m_text;
    QRect m_rect;
    QString m_fontFamily = defaultFamily;
    qreal m_fontPoints = defaultPoints;
    bool m_bold = false;
};

#include "ListNames.h"

#include "RowSet.h"

namespace {

enum class Shown
{
    Kept,
    Dropped,
    Blank
};

// Format characters (zero-width ones, bidirectional marks, embeddings and isolates, the byte
// order mark, tags) and controls show nothing; tabs and line breaks part words like a blank.
Shown shown(char32_t c)
{
    // Printable ASCII and the Cyrillic block, most of every name, need no look-up.
    if ((c >= 0x20 && c < 0x7F) || (c >= 0x400 && c < 0x500))
        return Shown::Kept;
    switch (QChar::category(c)) {
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
        return Shown::Dropped;
    case QChar::Other_Control:
        return QChar::isSpace(c) ? Shown::Blank : Shown::Dropped;
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return Shown::Blank;
    default:
        return Shown::Kept;
    }
}

qsizetype characters(const QString& text)
{
    qsizetype count = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++count;
    return count;
}

} // namespace

QString ListNames::normalized(const QString& name)
{
    QString visible; // a copy only once a character goes or changes
    bool copied = false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar unit = name.at(i);
        const bool pair =
            unit.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        const Shown kind =
            shown(pair ? QChar::surrogateToUcs4(unit, name.at(i + 1)) : char32_t(unit.unicode()));
        if (kind != Shown::Kept && !copied) {
            visible = name.left(i);
            copied = true;
        }
        if (copied && kind == Shown::Kept) {
            visible += unit;
            if (pair)
                visible += name.at(i + 1);
        } else if (kind == Shown::Blank) {
            visible += QLatin1Char(' ');
        }
        if (pair)
            ++i;
    }
    // Composed after the removal: a mark parted from its letter by an invisible one joins it.
    return (copied ? visible : name).normalized(QString::NormalizationForm_C).trimmed();
}

QString ListNames::key(const QString& name)
{
    return normalized(name).toCaseFolded();
}

QString ListNames::fault(const QString& normalizedName)
{
    if (normalizedName.isEmpty())
        return QStringLiteral("Название не может быть пустым.");
    if (characters(normalizedName) > maxLength)
        return QStringLiteral("Название не может быть длиннее %1 знаков.").arg(maxLength);
    return {};
}

QString ListNames::existing(const RowSet& rows, const QString& column, const QString& name)
{
    const QString wanted = key(name);
    for (int row = 0; row < rows.rowCount(); ++row) {
        QString entry = rows.value(row, column).toString();
        if (key(entry) == wanted)
            return entry;
    }
    return {};
}

QString ListNames::refusal(const RowSet& rows, const QString& column, const QString& name)
{
    const QString problem = fault(normalized(name));
    if (!problem.isEmpty())
        return problem + QStringLiteral(" Ничего не добавлено.");
    const QString found = existing(rows, column, name);
    if (!found.isNull())
        return QStringLiteral("В списке уже есть «%1». Ничего не добавлено.").arg(found);
    return {};
}

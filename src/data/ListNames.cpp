#include "ListNames.h"

#include "RowSet.h"

QString ListNames::normalized(const QString& name)
{
    return name.trimmed();
}

QString ListNames::existing(const RowSet& rows, const QString& column, const QString& name)
{
    const QString key = normalized(name).toCaseFolded();
    for (int row = 0; row < rows.rowCount(); ++row) {
        const QString entry = rows.value(row, column).toString();
        if (normalized(entry).toCaseFolded() == key)
            return entry;
    }
    return {};
}

QString ListNames::refusal(const RowSet& rows, const QString& column, const QString& name)
{
    if (normalized(name).isEmpty())
        return QStringLiteral("Название не может быть пустым. Ничего не добавлено.");
    const QString found = existing(rows, column, name);
    if (!found.isNull())
        return QStringLiteral("В списке уже есть «%1». Ничего не добавлено.").arg(found);
    return {};
}

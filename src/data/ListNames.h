#pragma once

#include <QString>

class RowSet;

// The rules for a new name in a reference list (services, sources): no blanks around it, not
// blanks only, and not the same as a name already in the list when letter case is ignored
// (reports count such names as one, so a second entry would only show twice in the lists).
class ListNames
{
public:
    // The name as it is stored: without the blanks around it.
    static QString normalized(const QString& name);
    // The entry of `column` in `rows` equal to `name` without regard to case; empty when none.
    static QString existing(const RowSet& rows, const QString& column, const QString& name);
    // Why the name cannot be added, in the operator's words; empty when it can.
    static QString refusal(const RowSet& rows, const QString& column, const QString& name);
};

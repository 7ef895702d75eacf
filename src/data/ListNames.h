#pragma once

#include <QString>

class RowSet;

// The rules for a name in a reference list (services, sources) or in a call, whichever way it
// comes in. It is stored in Unicode NFC, without the characters that show nothing (controls,
// zero-width and bidirectional formatting characters; a tab or a line break becomes a blank) and
// without the blanks around it; it may be neither empty nor longer than maxLength characters.
// A list holds no two names that are the same when letter case is ignored (reports count such
// names as one, so a second entry would only show twice in the lists); names that differ only
// by invisible characters are such twins too.
class ListNames
{
public:
    static constexpr int maxLength = 100;

    // The name as it is stored.
    static QString normalized(const QString& name);
    // What names equal but for letter case have in common.
    static QString key(const QString& name);
    // Why a name as normalized() gives it cannot be stored, as a sentence in the operator's
    // words; empty when it can.
    static QString fault(const QString& normalizedName);
    // The entry of `column` in `rows` equal to `name` without regard to case; empty when none.
    static QString existing(const RowSet& rows, const QString& column, const QString& name);
    // Why the name cannot be added, in the operator's words; empty when it can.
    static QString refusal(const RowSet& rows, const QString& column, const QString& name);
};

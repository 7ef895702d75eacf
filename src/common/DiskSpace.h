#pragma once

#include "Outcome.h"

#include <QString>

// Free space before work that writes: below a margin the work is refused at the start, with
// the folder named, rather than failing half-way (or, for the database's mapped files, crashing).
class DiskSpace
{
public:
    // What must stay free beside the expected size of what is written.
    static constexpr qint64 margin = 5 * 1024 * 1024;

    // True when the folder (or, when it does not exist yet, its nearest existing parent) has at
    // least the margin plus `expected` bytes free; else the reason ("... на диске нет места
    // ..."). A folder whose space cannot be read passes.
    static Outcome<void> check(const QString& folder, qint64 expected = 0);

    // Free bytes for an unprivileged writer, or why they cannot be read.
    static Outcome<qint64> available(const QString& folder);
};

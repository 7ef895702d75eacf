#pragma once

#include "Outcome.h"

#include <QString>
#include <QVariant>

// Stores one value in a settings file of Qt's INI form, whole or not at all. Qt composes the
// new text in a scratch copy, which is read back under a name Qt never cached and compared
// with what the file must hold; only then does it replace the file through SafeFile. A full
// disk never leaves the file empty or half-written, whatever QSettings does underneath.
class SafeSettings
{
public:
    // `key` may name a group ("KV/days"). On failure the reason (the file named by `what`,
    // "на диске нет места" where that is the cause); the file is then as it was.
    static Outcome<void> setValue(const QString& path, const QString& key, const QVariant& value,
                                  const QString& what);
};

#pragma once

#include "Outcome.h"

#include <QByteArray>
#include <QString>

// Replaces a file whole or not at all. The contents go to a new file beside the target, every
// write is checked, the file is flushed to the disk and its size compared, then it is renamed
// over the target and the folder is flushed too. On any failure the old file stays as it was
// and the new one is removed. A symbolic link at the target is replaced, never written through.
class SafeFile
{
public:
    // On failure the reason ("Не удалось записать файл ...: на диске нет места." where that is
    // the cause); `what` replaces the words before the colon.
    static Outcome<void> write(const QString& path, const QByteArray& contents,
                               const QString& what = QString());

    // Copies a regular file through write(); a link as the source is refused.
    static Outcome<void> copy(const QString& from, const QString& to);

    // Creates the folder when it is missing; refuses one that is a symbolic link or no folder.
    static Outcome<void> ensureFolder(const QString& path);

    // Removes a folder and what it holds, only when it is a real folder (not a link), and
    // never following a link inside it.
    static Outcome<void> removeFolder(const QString& path);

    // Flushes a file written by someone else (an engine's copy) to the disk.
    static bool syncFile(const QString& path);

    // Flushes a folder's entries (a rename or a new file in it) to the disk.
    static bool syncFolder(const QString& path);

    // The operator's words for an errno value ("на диске нет места"); empty when none fits.
    static QString reason(int errorNumber);

    // Test seam: the disk takes only this many more bytes of files written here, then fails
    // with "no space" (a short write at exactly that position); -1 lifts the limit.
    static void setSpaceLeftForTest(qint64 bytes);
};

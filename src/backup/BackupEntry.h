#pragma once

#include <QDateTime>
#include <QString>

// One copy in a backup folder: the file, when it was taken and, for a verified one, what its
// mark says. A file without a mark (or whose size differs from the mark's) is no backup.
struct BackupEntry
{
    QString path;
    QDateTime taken;
    qint64 size = 0;
    qint64 calls = -1;
    int version = 0;
    bool verified = false;
};

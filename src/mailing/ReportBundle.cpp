#include "ReportBundle.h"

#include "ReportKind.h"

#include <QDir>

QStringList ReportBundle::fileNames()
{
    QStringList names;
    for (const ReportKind& kind : ReportKind::all())
        names << kind.fileName();
    return names;
}

QStringList ReportBundle::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

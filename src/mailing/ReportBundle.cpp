#include "ReportBundle.h"

#include "ReportKind.h"

#include <QDir>

QStringList ReportBundle::fileNames()
{
    return ReportKind::fileNames();
}

QStringList ReportBundle::filePaths(const QString& dir)
{
    QStringList paths;
    for (const QString& name : fileNames())
        paths << QDir(dir).filePath(name);
    return paths;
}

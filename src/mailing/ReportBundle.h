#pragma once

#include <QString>
#include <QStringList>

// The files of the mailed reports (see ReportAttachment): one HTML file for every report of
// the catalogue, in catalogue order.
class ReportBundle
{
public:
    static QStringList fileNames(); // the catalogue's, ReportKind::fileNames()
    static QStringList filePaths(const QString& dir);
};

#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class DataEnv;

// One report's rows read from its row set, for the command-line formats.
struct ReportTable
{
    struct Row
    {
        QString name; // empty for the by-date report
        QDate date;
        qint64 calls = 0;
        qint64 booked = 0;
    };

    QString kind; // by-source, by-service, internet, by-date
    QDate from;
    QDate to;
    QVector<Row> rows;
    qint64 totalCalls = 0;
    qint64 totalBooked = 0;

    static QStringList kinds();
    static QString command(const QString& kind);
    static QString layout(const QString& kind);
    // Runs the kind's command over the period and reads its row set (left open for exporters).
    bool load(DataEnv* env, QString* error);

    QString toText() const;
    QString toJson() const;
};

#pragma once

#include <QDate>
#include <QStandardItemModel>
#include <QString>
#include <QVector>
#include <memory>

class DataEnv;
class ReportKind;

// One report's rows over a period, for the command-line formats.
class ReportTable
{
public:
    struct Row
    {
        QString name; // empty for the by-date report
        QDate date;
        qint64 calls = 0;
        qint64 booked = 0;
    };

    ReportTable(const ReportKind& kind, const QDate& from, const QDate& to);

    // Runs the report's command over the period and reads its rows.
    bool load(DataEnv* env);
    QString errorText() const { return m_error; }

    const ReportKind& kind() const { return m_kind; }
    const QVector<Row>& rows() const { return m_rows; }
    // The rows as the report's layout prints them, for the file formats.
    const QStandardItemModel& model() const { return *m_model; }
    QString periodText() const;

    QString toText() const;
    QString toJson() const;

private:
    const ReportKind& m_kind;
    QDate m_from;
    QDate m_to;
    QVector<Row> m_rows;
    qint64 m_totalCalls = 0;
    qint64 m_totalBooked = 0;
    std::unique_ptr<QStandardItemModel> m_model;
    QString m_error;
};

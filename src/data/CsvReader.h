#pragma once

#include <QString>
#include <QStringList>

// Reads records of a CSV text: quoted fields (with doubled quotes and line breaks inside),
// separator ',' ';' or tab, chosen from the first line.
class CsvReader
{
public:
    explicit CsvReader(const QString& text);

    // The next record; false at the end. line() is the line the record started on.
    bool next(QStringList& fields);
    int line() const { return m_recordLine; }
    QChar separator() const { return m_separator; }
    QString errorText() const { return m_error; }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_recordLine = 1;
    QChar m_separator = ',';
    QString m_error;
};

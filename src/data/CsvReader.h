#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Reads records of a CSV text: quoted fields (with doubled quotes and line breaks inside),
// separator ',' ';' or tab, chosen from the first line.
class CsvReader
{
public:
    explicit CsvReader(const QString& text);
    // The text in pieces, as `more` hands them out (false at the end); only the record being read
    // is held, so a file of any length can be read.
    explicit CsvReader(std::function<bool(QString& piece)> more);

    // The next record; false at the end. line() is the line the record started on.
    bool next(QStringList& fields);
    int line() const { return m_recordLine; }
    QChar separator() const { return m_separator; }
    QString errorText() const { return m_error; }

private:
    void start();
    // Appends the next piece to the unread text; false at the end.
    bool refill();

    QString m_text;
    std::function<bool(QString&)> m_more;
    qsizetype m_pos = 0;
    int m_line = 1;
    int m_recordLine = 1;
    QChar m_separator = ',';
    QString m_error;
};

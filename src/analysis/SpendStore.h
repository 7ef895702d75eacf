#pragma once

#include <QDate>
#include <QList>
#include <QString>

class DataEnv;

// The advertising spend per source and calendar month, in whole kopecks. A source is named as
// in the list of sources; names are matched without regard to case.
class SpendStore
{
public:
    struct Entry
    {
        QString source;
        QDate month; // the first day of the month
        qint64 kopecks = 0;
    };

    // env: the data environment (nullptr: the program-wide one).
    explicit SpendStore(DataEnv* env = nullptr);

    // Stores the month's amount of the source, replacing what it had; in one transaction.
    bool set(const QString& source, const QDate& month, qint64 kopecks);
    // Removes the month's amount of the source.
    bool remove(const QString& source, const QDate& month);
    // Several changes in one transaction: each entry stored, or removed when its amount is
    // negative.
    bool apply(const QList<Entry>& entries);
    // Every stored amount, by month and then in the order stored. False on failure.
    bool entries(QList<Entry>* entries);
    // The month's amount of every source of the list (one per name, letter case aside, in the
    // list's order); kopecks -1 for a source without one. False on failure.
    bool listMonth(const QDate& month, QList<Entry>* amounts);
    // The list's spelling of a source name (letter case aside); empty when the list has none.
    QString listName(const QString& source);

    QString errorText() const { return m_error; }

    // "YYYY-MM" of a month, and back (invalid for anything else).
    static QString monthText(const QDate& month);
    static QDate parseMonth(const QString& text);

private:
    bool fail(const QString& reason);

    DataEnv* m_env;
    QString m_error;
};

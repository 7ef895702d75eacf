#pragma once

#include "CallFilter.h"
#include "CallRecord.h"
#include "JournalKey.h"

#include <QAbstractTableModel>
#include <QVector>
#include <functional>

class CallJournal;

// The calls that match a filter, newest first, read from the journal a page at a time as a
// view scrolls down (canFetchMore/fetchMore): never the whole table.
class JournalModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        Date,
        Time,
        Service,
        Source,
        Booked,
        Desk
    };
    static constexpr int pageSize = 200;
    static constexpr int IdRole = Qt::UserRole;

    explicit JournalModel(CallJournal& journal, QObject* parent = nullptr);

    // The desk column is shown on a server only.
    void setShowDesk(bool show);
    // The calls kept at this desk while the server was away (keys below zero), newest first:
    // those that match the filter are listed above the server's, marked in the desk column.
    void setKeptCalls(std::function<QVector<CallRecord>()> kept) { m_kept = std::move(kept); }
    static bool matches(const CallFilter& filter, const CallRecord& record);
    // Starts again from the newest call that matches; reads the first page (false: see
    // errorText()).
    bool setFilter(const CallFilter& filter);
    const CallFilter& filter() const { return m_filter; }
    // Reads again from the newest call, as many rows as were read before (a page at least).
    // False (and errorText()) when the journal could not be read.
    bool reload();

    const CallRecord& record(int row) const { return m_rows.at(row); }
    // The row of a call among those read; -1 when not read (yet).
    int rowOf(qint64 id) const;
    // How many pages were read since the last reset.
    int pagesRead() const { return m_pages; }
    bool atEnd() const { return m_atEnd; }
    QString errorText() const { return m_error; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

Q_SIGNALS:
    // A page could not be read; the rows read so far stay.
    void failed(const QString& error);

private:
    // Appends the next page; false when it could not be read.
    bool readPage();

    CallJournal& m_journal;
    std::function<QVector<CallRecord>()> m_kept;
    CallFilter m_filter;
    QVector<CallRecord> m_rows;
    JournalKey m_last;
    bool m_atEnd = false;
    bool m_showDesk = false;
    int m_pages = 0;
    QString m_error;
};

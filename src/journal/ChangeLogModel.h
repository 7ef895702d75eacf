#pragma once

#include "CallChange.h"

#include <QAbstractTableModel>
#include <QVector>

// The change log's entries as a table: when, which desk, which call (as it was before the
// change), what was done and the values before and after.
class ChangeLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        When,
        Desk,
        CallName,
        Kind,
        Before,
        After
    };

    explicit ChangeLogModel(QObject* parent = nullptr);

    void setChanges(const QVector<CallChange>& changes);
    const CallChange& change(int row) const { return m_changes.at(row); }
    // The cell text of the values before or after a change: the call, or for an edit the
    // fields it changed.
    static QString valuesText(const CallChange& change, Column column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QVector<CallChange> m_changes;
};

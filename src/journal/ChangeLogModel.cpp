#include "ChangeLogModel.h"

#include "JournalText.h"

ChangeLogModel::ChangeLogModel(QObject* parent) : QAbstractTableModel(parent) {}

void ChangeLogModel::setChanges(const QVector<CallChange>& changes)
{
    beginResetModel();
    m_changes = changes;
    endResetModel();
}

QString ChangeLogModel::valuesText(const CallChange& change, Column column)
{
    const bool before = column == Before;
    switch (change.kind) {
    case CallChange::Kind::Edited:
        break;
    case CallChange::Kind::Deleted:
        return before ? JournalText::call(change.before.call) : QString();
    case CallChange::Kind::Restored:
        return before ? QString() : JournalText::call(change.after.call);
    }
    // An edit: the changed fields only, each as it was or as it became.
    QStringList fields;
    const Call& was = change.before.call;
    const Call& now = change.after.call;
    const Call& shown = before ? was : now;
    if (was.date != now.date)
        fields << JournalText::date(shown.date);
    if (was.time != now.time)
        fields << JournalText::time(shown.time);
    if (was.service != now.service)
        fields << shown.service;
    if (was.source != now.source)
        fields << shown.source;
    if (was.booked != now.booked)
        fields << QStringLiteral("запись: ") + JournalText::booked(shown.booked);
    return fields.join(QStringLiteral(", "));
}

int ChangeLogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_changes.size());
}

int ChangeLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : After + 1;
}

QVariant ChangeLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_changes.size() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const CallChange& change = m_changes.at(index.row());
    switch (index.column()) {
    case When:
        return JournalText::moment(change.when);
    case Desk:
        return change.desk;
    case CallName:
        return JournalText::call(change.kind == CallChange::Kind::Restored ? change.after.call
                                                                           : change.before.call);
    case Kind:
        return JournalText::kind(change.kind);
    case Before:
    case After:
        return valuesText(change, Column(index.column()));
    default:
        break;
    }
    return {};
}

QVariant ChangeLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList headings{QStringLiteral("Когда"),  QStringLiteral("Пульт"),
                                      QStringLiteral("Звонок"), QStringLiteral("Действие"),
                                      QStringLiteral("Было"),   QStringLiteral("Стало")};
    return headings.value(section);
}

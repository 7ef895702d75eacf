#include "JournalModel.h"

#include "CallJournal.h"
#include "JournalText.h"
#include "ListNames.h"

#include <QFont>

JournalModel::JournalModel(CallJournal& journal, QObject* parent)
    : QAbstractTableModel(parent), m_journal(journal)
{
}

void JournalModel::setShowDesk(bool show)
{
    if (show == m_showDesk)
        return;
    beginResetModel();
    m_showDesk = show;
    endResetModel();
}

bool JournalModel::setFilter(const CallFilter& filter)
{
    m_filter = filter;
    beginResetModel();
    m_rows.clear();
    endResetModel();
    return reload();
}

bool JournalModel::reload()
{
    const qsizetype wanted = qMax<qsizetype>(m_rows.size(), pageSize);
    beginResetModel();
    m_rows.clear();
    m_last = {};
    m_atEnd = false;
    m_pages = 0;
    m_error.clear();
    if (m_kept)
        for (const CallRecord& record : m_kept())
            if (matches(m_filter, record))
                m_rows << record;
    endResetModel();
    bool ok = true;
    while (ok && !m_atEnd && m_rows.size() < wanted)
        ok = readPage();
    return ok;
}

bool JournalModel::readPage()
{
    const std::optional<QVector<CallRecord>> page = m_journal.page(m_filter, m_last, pageSize);
    if (!page) {
        m_error = m_journal.errorText();
        m_atEnd = true; // no retry loop from the view; reload() tries again
        emit failed(m_error);
        return false;
    }
    ++m_pages;
    m_atEnd = page->size() < pageSize;
    if (page->isEmpty())
        return true;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page->size() - 1));
    m_rows += *page;
    endInsertRows();
    m_last = JournalKey{m_rows.last().call.date, m_rows.last().id};
    return true;
}

bool JournalModel::matches(const CallFilter& filter, const CallRecord& record)
{
    const Call& call = record.call;
    auto sameName = [](const QString& wanted, const QString& name) {
        return wanted.isEmpty() || ListNames::key(wanted) == ListNames::key(name);
    };
    const QString search = filter.search.toCaseFolded();
    return (!filter.from.isValid() || call.date >= filter.from) &&
           (!filter.to.isValid() || call.date <= filter.to) &&
           sameName(filter.service, call.service) && sameName(filter.source, call.source) &&
           (!filter.booked || *filter.booked == call.booked) &&
           (filter.desk.isEmpty() || filter.desk == record.desk) &&
           (search.isEmpty() || call.service.toCaseFolded().contains(search) ||
            call.source.toCaseFolded().contains(search));
}

int JournalModel::rowOf(qint64 id) const
{
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).id == id)
            return int(i);
    return -1;
}

int JournalModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (m_showDesk ? Desk + 1 : Booked + 1);
}

QVariant JournalModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const CallRecord& record = m_rows.at(index.row());
    if (role == IdRole)
        return record.id;
    if (role == Qt::TextAlignmentRole)
        return index.column() == Booked ? QVariant(Qt::AlignCenter)
                                        : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::FontRole && record.id < 0) {
        QFont waiting; // a call still at this desk, in italics throughout its row
        waiting.setItalic(true);
        return waiting;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Date:
        return JournalText::date(record.call.date);
    case Time:
        return JournalText::time(record.call.time);
    case Service:
        return record.call.service;
    case Source:
        return record.call.source;
    case Booked:
        return JournalText::booked(record.call.booked);
    case Desk:
        return record.id < 0 ? QStringLiteral("ожидает передачи на сервер") : record.desk;
    default:
        break;
    }
    return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Date:
        return QStringLiteral("Дата");
    case Time:
        return QStringLiteral("Время");
    case Service:
        return QStringLiteral("Услуга");
    case Source:
        return QStringLiteral("Источник");
    case Booked:
        return QStringLiteral("Запись");
    case Desk:
        return QStringLiteral("Пульт");
    default:
        break;
    }
    return {};
}

bool JournalModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && !m_atEnd;
}

void JournalModel::fetchMore(const QModelIndex& parent)
{
    if (canFetchMore(parent))
        readPage();
}

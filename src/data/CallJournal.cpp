#include "CallJournal.h"

#include "DataConnection.h"

namespace {
const QString notReady = QStringLiteral("Журнал звонков недоступен.");
}

CallJournal::CallJournal(DataConnection& connection) : DataStore(connection) {}

std::optional<QVector<CallRecord>> CallJournal::page(const CallFilter&, const JournalKey&, int)
{
    fail(notReady);
    return std::nullopt;
}

std::optional<CallRecord> CallJournal::find(qint64)
{
    fail(notReady);
    return std::nullopt;
}

std::optional<QPair<int, int>> CallJournal::dayCount(const QDate&)
{
    fail(notReady);
    return std::nullopt;
}

QStringList CallJournal::desks()
{
    return {};
}

std::optional<QVector<CallChange>> CallJournal::changes(qint64, int)
{
    fail(notReady);
    return std::nullopt;
}

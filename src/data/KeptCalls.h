#pragma once

#include "Call.h"

#include <QDate>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>

class QSqlQuery;

// The calls this desk keeps while its server is away, in a small file of its own (see
// AppPaths::keptCallsPath()), each under a key of its own — the desk and a number that only
// grows — so that the server takes it exactly once. The file also keeps a copy of the lists
// last read from the server. Every change is on the disk before it returns.
class KeptCalls
{
public:
    struct Kept
    {
        qint64 number = 0;
        QString key;
        Call call;
    };

    KeptCalls(const QString& serverLocation, const QString& desk);
    ~KeptCalls();
    KeptCalls(const KeptCalls&) = delete;
    KeptCalls& operator=(const KeptCalls&) = delete;

    // Whether the file exists: nothing was ever kept or copied for that server otherwise.
    static bool exists(const QString& serverLocation);
    QString path() const { return m_path; }

    // Keeps a call under `key` (one the server may hold already), or under a new one.
    bool keep(const Call& call, const QString& key = {});
    // The waiting calls, oldest first (at most `limit`; all when negative).
    bool waiting(QVector<Kept>* calls, int limit = -1);
    // How many wait, and the date of the oldest (invalid when none wait); -1 on a failure.
    int count(QDate* oldest = nullptr);
    // Forgets a call the server has taken (nothing when it is gone already).
    bool remove(qint64 number);
    // The newest waiting call (none: nullopt).
    bool newest(std::optional<Kept>* call);
    // Removes a waiting call the operator takes back; refused when it has gone over already.
    bool discard(qint64 number);
    bool edit(qint64 number, const Call& changed);

    // The copy of a list ("Uslugi", "Istochnik") as last read from the server.
    bool storeList(const QString& list, const QStringList& names);
    QStringList list(const QString& list);

    QString errorText() const { return m_error; }

private:
    bool open();
    // Runs work() in one transaction, committed when it gives no error.
    bool inTransaction(const std::function<QSqlError(QSqlQuery&)>& work);
    bool fail(const QString& reason);

    QString m_path;
    QString m_desk;
    QString m_connectionName;
    bool m_open = false;
    QString m_error;
};

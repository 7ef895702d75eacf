#pragma once

#include "CallRecord.h"
#include "CallStore.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>
#include <memory>

class DataEnv;
class KeptCalls;

// Storing one call the operator gives, and taking back the newest one; for the window and the
// command line alike. The names are entries of the lists, which ListNames keeps in order: they
// are stored as given, so that the call counts under its entry even where an entry predates
// those rules. On a server that cannot be reached, the call is kept at this desk (KeptCalls)
// and sent over later (transfer()).
class CallRegister
{
public:
    enum class AddResult
    {
        Added,
        Kept,          // the server is away: kept at this desk until it is back
        MissingChoice, // service or source not chosen
        Failed         // the database refused; see errorText()
    };
    using RemoveResult = CallStore::Removal;

    explicit CallRegister(DataEnv* env);
    ~CallRegister();

    // Another program's long write (an import) is waited for; notice() is given what to show
    // while the wait goes on.
    AddResult add(const QDate& date, const QString& service, const QString& source, bool booked,
                  const QTime& time);
    void setWaitNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    // Removes the most recently added call once confirm() agrees: the newest kept one while
    // calls wait (they are this desk's newest, as waiting calls go over before a new call).
    RemoveResult removePrevious(const std::function<bool()>& confirm);

    // On a server: the calls kept at this desk (nullptr on a file).
    KeptCalls* kept();
    // How many calls wait for the server (0 on a file; -1 when the desk's file is unreadable).
    int waitingCount();
    // Sends the waiting calls; false when some still wait (errorText()).
    bool transfer();
    // Keeps a copy of the lists as the server gave them, for the time it is away.
    void copyLists();
    // The waiting calls, newest first, as records of this desk with keys below zero (the
    // journal lists them above the server's calls); editKept() and removeKept() change them.
    QVector<CallRecord> waitingCalls();
    static bool isKept(const CallRecord& record) { return record.id < 0; }
    bool editKept(qint64 id, const Call& changed);
    bool removeKept(const QVector<qint64>& ids);

    QString errorText() const { return m_error; }

    static constexpr const char* keptText =
        "Звонок сохранён на этом компьютере и будет передан на сервер";
    // "3 звонка ожидают передачи на сервер".
    static QString waitingText(int count);
    // "3 звонка ещё не переданы на сервер".
    static QString notSentText(int count);

private:
    AddResult keep(const Call& call, const QString& key = {});

    DataEnv* m_env;
    QString m_error;
    std::function<void(const QString&)> m_notice;
    std::unique_ptr<KeptCalls> m_kept;
};

#pragma once

#include "CallStore.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

class DataEnv;

// Storing one call the operator gives, and taking back the newest one; for the window and the
// command line alike. The names are entries of the lists, which ListNames keeps in order: they
// are stored as given, so that the call counts under its entry even where an entry predates
// those rules.
class CallRegister
{
public:
    enum class AddResult
    {
        Added,
        MissingChoice, // service or source not chosen
        Failed         // the database refused; see errorText()
    };
    using RemoveResult = CallStore::Removal;

    explicit CallRegister(DataEnv* env);

    // Another program's long write (an import) is waited for; notice() is given what to show
    // while the wait goes on.
    AddResult add(const QDate& date, const QString& service, const QString& source, bool booked,
                  const QTime& time);
    void setWaitNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    // Removes the most recently added call once confirm() agrees.
    RemoveResult removePrevious(const std::function<bool()>& confirm);

    QString errorText() const { return m_error; }

private:
    DataEnv* m_env;
    QString m_error;
    std::function<void(const QString&)> m_notice;
};

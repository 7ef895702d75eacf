#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <functional>

class DataEnv;

// Storing one call, and taking back the newest one; no widgets. The names are entries of the
// lists, which ListNames keeps in order: they are stored as listed, so that the call counts
// under its entry even where an entry predates those rules.
class CallRegister
{
public:
    enum class AddResult
    {
        Added,
        MissingChoice, // service or source not chosen
        Failed         // the database refused; see errorText()
    };

    enum class RemoveResult
    {
        Removed,
        Cancelled,
        NothingToRemove,
        Failed
    };

    explicit CallRegister(DataEnv* env);

    // Another program's long write (an import) is waited for; notice() is given what to show
    // while the wait goes on.
    AddResult add(const QDate& date, const QString& service, const QString& source, bool booked,
                  const QTime& time);
    void setWaitNotice(std::function<void(const QString&)> notice) { m_notice = std::move(notice); }
    // Removes the most recently added call once confirm() agrees; the calls row set is open
    // only during the call.
    template <typename Confirm> RemoveResult removePrevious(Confirm confirm);

    QString errorText() const { return m_error; }

private:
    bool openLast(bool* empty);
    bool deleteLast();
    void closeLast();

    DataEnv* m_env;
    QString m_error;
    std::function<void(const QString&)> m_notice;
};

template <typename Confirm> CallRegister::RemoveResult CallRegister::removePrevious(Confirm confirm)
{
    bool empty = false;
    if (!openLast(&empty)) {
        closeLast();
        return RemoveResult::Failed;
    }
    if (empty) {
        closeLast();
        return RemoveResult::NothingToRemove;
    }
    if (!confirm()) {
        closeLast();
        return RemoveResult::Cancelled;
    }
    const bool removed = deleteLast();
    closeLast();
    return removed ? RemoveResult::Removed : RemoveResult::Failed;
}

#pragma once

#include <QString>
#include <memory>

class QLockFile;

// The one lock of the mailing: a flag for this process and a lock file for every copy of the
// program on the machine. The scheduled dispatch, "Отправить отчеты", the delivery of the kept
// mails and the command line all take it before they write or mail the reports; what one took
// is given back when the lock goes.
class DispatchLock
{
public:
    enum class Result
    {
        Taken,
        Busy,  // another mailing holds it
        Failed // the lock file could not be made (errorText() says why)
    };

    DispatchLock();
    ~DispatchLock();
    DispatchLock(const DispatchLock&) = delete;
    DispatchLock& operator=(const DispatchLock&) = delete;

    // This process only: false while another mailing of it holds the lock.
    bool takeHere();
    // This process and, through the lock file, every other copy of the program.
    Result take();
    QString errorText() const { return m_error; }

    // True while a mailing of this process holds the lock.
    static bool isBusy() { return s_held; }

    // The lock file, in the data folder unless set (tests give each run its own).
    static QString path();
    static void setPath(const QString& path);

private:
    bool m_here = false;
    std::unique_ptr<QLockFile> m_file;
    QString m_error;

    static bool s_held;
};

#pragma once

#include "AppPaths.h"
#include "CliRunner.h"
#include "Clock.h"
#include "DataEnv.h"
#include "DispatchLock.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTextStream>

// The command line run inside a test, on a database (a file, or a new one on the test server)
// and dispatch lock of its own for each test function, with the clock pinned; what it printed is
// kept in out and err.
class CliSession
{
public:
    QTemporaryDir dir;
    QString out;
    QString err;

    // A new database and dispatch lock, the clock pinned at `now` (from a test's init()).
    void begin(const QDateTime& now)
    {
        ++m_round;
        m_db = TestSupport::database(dir.filePath(QString("run%1/KvBD.db").arg(m_round)));
        DispatchLock::setPath(dir.filePath(QString("run%1/dispatch.lock").arg(m_round)));
        Clock::setFixed(now);
    }

    // Forgets the database and unpins the clock (from a test's cleanup()).
    void end()
    {
        DataEnv::setInstance(nullptr);
        AppPaths::overrideDatabasePath({});
        Clock::setFixed({});
    }

    // Runs one command with `input` on its standard input; the exit status.
    int run(const QStringList& args, const QByteArray& input = {})
    {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        QBuffer in;
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        CliRunner runner(outStream, errStream, &in);
        const int status = runner.run(QStringList{"--database", m_db} + args);
        outStream.flush();
        errStream.flush();
        return status;
    }

    // The database's location, for a command line started as a process of its own.
    QString database() const { return m_db; }

private:
    QString m_db;
    int m_round = 0;
};

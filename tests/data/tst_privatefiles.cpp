#include "AppPaths.h"
#include "DataEnv.h"
#include "PrivateFiles.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

// Only the owner may read the register: what the program creates, and what an older version
// left readable to all.
class TestPrivateFiles : public QObject
{
    Q_OBJECT

    static int mode(const QString& path)
    {
        struct stat info
        {
        };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777)
                                                                       : -1;
    }

private Q_SLOTS:
    void initTestCase() { TestSupport::pinEnvironment(); }

    void existingFilesAreTightenedAndNewOnesArePrivate()
    {
        // As an older version left them: folders 0755, files 0644.
        const QString data = AppPaths::dataDir();
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/Kalvent";
        for (const QString& folder : {data + "/Send", config}) {
            QVERIFY(QDir().mkpath(folder));
            QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
        }
        QFile::setPermissions(data, QFileDevice::Permissions(0x7755));
        // The mailing settings live beside the program's folder; a database named for one run
        // may be anywhere.
        const QString elsewhere = QDir(data).filePath("../elsewhere/calls.db");
        QVERIFY(QDir().mkpath(QFileInfo(elsewhere).absolutePath()));
        const QStringList files{
            data + "/KvBD.db", data + "/Send/poist.htm", config + "/Kalvent.conf",
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ZQ.conf",
            elsewhere};
        for (const QString& path : files) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
            file.close();
            QVERIFY(file.setPermissions(QFileDevice::Permissions(0x6644)));
            QCOMPARE(mode(path), 0644);
        }
        PrivateFiles::tighten();
        PrivateFiles::tightenDatabase(elsewhere);
        for (const QString& folder : {data, data + "/Send", config})
            QCOMPARE(mode(folder), 0700);
        for (const QString& path : files)
            QCOMPARE(mode(path), 0600);

        // A database made from now on is the owner's alone, with its journal.
        PrivateFiles::restrictNewFiles();
        const QString fresh = QDir(data).filePath("fresh/KvBD.db");
        {
            DataEnv env(fresh);
            QVERIFY2(env.connect(), qPrintable(env.errorText()));
            QVERIFY(env.execute("AddNew", {QDate(2026, 12, 1), "a", "b", false, QTime(9, 0)}));
            QCOMPARE(mode(fresh), 0600);
            QCOMPARE(mode(fresh + "-wal"), 0600);
        }
        QCOMPARE(mode(QDir(data).filePath("fresh")), 0700);
    }
};

QTEST_MAIN(TestPrivateFiles)
#include "tst_privatefiles.moc"

#include "SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A file is replaced whole or left as it was, whatever the disk refuses and wherever.
class TestSafeFile : public QObject
{
    Q_OBJECT

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }

private Q_SLOTS:
    void cleanup() { SafeFile::setSpaceLeftForTest(-1); }

    void aFullDiskAtAnyByteLeavesTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("poist.htm");
        const QByteArray old = "old report";
        QVERIFY(SafeFile::write(path, old));
        QByteArray fresh;
        for (int i = 0; i < 300; ++i)
            fresh += char('a' + i % 26);
        for (qint64 left = 0; left < fresh.size(); ++left) {
            SafeFile::setSpaceLeftForTest(left);
            const Outcome<void> written = SafeFile::write(path, fresh);
            QVERIFY2(!written, qPrintable(QString::number(left)));
            const QString& error = written.errorText();
            QVERIFY2(error.contains("на диске нет места"), qPrintable(error));
            QVERIFY(error.contains(QDir::toNativeSeparators(path)));
            QCOMPARE(contents(path), old);
            QCOMPARE(entries(dir.path()), QStringList{"poist.htm"});
        }
        SafeFile::setSpaceLeftForTest(fresh.size());
        QVERIFY(SafeFile::write(path, fresh));
        QCOMPARE(contents(path), fresh);
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions());
    }

    void linksAreNeverWrittenOrRemovedThrough()
    {
        QTemporaryDir dir;
        const QString victim = dir.filePath("other-user.txt");
        QVERIFY(SafeFile::write(victim, "theirs"));
        const QString link = dir.filePath("poist.htm");
        QVERIFY(QFile::link(victim, link));
        QVERIFY(SafeFile::write(link, "ours"));
        QCOMPARE(contents(victim), QByteArray("theirs"));
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(contents(link), QByteArray("ours"));

        // A folder put where an entry or a reports folder should be: nothing happens inside
        // its target, and a link inside a real folder goes as a link.
        const QString target = dir.filePath("target");
        QVERIFY(QDir().mkpath(target + "/sub"));
        QVERIFY(SafeFile::write(target + "/sub/keep.txt", "keep"));
        const QString folderLink = dir.filePath("entry");
        QVERIFY(QFile::link(target, folderLink));
        const Outcome<void> removed = SafeFile::removeFolder(folderLink);
        QVERIFY(!removed);
        QVERIFY(removed.errorText().contains("ссылка"));
        const Outcome<void> made = SafeFile::ensureFolder(folderLink);
        QVERIFY(!made);
        QVERIFY(made.errorText().contains("ссылка"));
        const QString real = dir.filePath("real");
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(target, real + "/inner"));
        QVERIFY(SafeFile::removeFolder(real));
        QVERIFY(!QFileInfo::exists(real));
        QCOMPARE(contents(target + "/sub/keep.txt"), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"

#include "core/configstore.h"
#include "core/listfile.h"
#include "core/storageproblems.h"
#include "appfixture.h"
#include "favorites/openpagelists.h"
#include "filepermissions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>

// Files that cannot be written: said once on the one channel, written again from memory
// at the next chance, and the program goes on.
class TestStorageProblems : public QObject
{
    Q_OBJECT

private:
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A small file system of its own, unmounted at the end; none when mounting is not allowed.
    struct SmallDisk
    {
        QTemporaryDir dir;
        bool mounted = false;
        explicit SmallDisk(const char *options)
        {
            mounted = ::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, options) == 0;
        }
        ~SmallDisk()
        {
            if (mounted)
                ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
        }
        // Fills it to the last byte.
        void fill() const
        {
            QFile filler(dir.filePath(QStringLiteral("filler")));
            if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                return;
            const QByteArray block(4096, 'x');
            while (filler.write(block) > 0) {
            }
        }
    };

private slots:
    void aBurstOfFailuresIsSaidOnceAndWrittenWhenTheFolderIsBack()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("Config.ini"));
        const QString list = dir.filePath(QStringLiteral("Url.lst"));
        writeFile(config, "[RunData]\r\nSearchOn=3\r\n");
        StorageProblems problems;
        ConfigStore store(config);
        store.setProblems(&problems);
        QSignalSpy said(&problems, &StorageProblems::problem);
        QSignalSpy resolved(&problems, &StorageProblems::resolved);
        {
            const FilePermissionsApply permissions;
            if (!permissions.apply())
                QSKIP("file permissions do not stop this process (root without the right to drop CAP_DAC_OVERRIDE)");
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
            // A storm of writes: the same files again and again.
            for (int i = 0; i < 20; ++i) {
                QVERIFY(!store.writeString(kRunData, QStringLiteral("SearchOn"), QString::number(i)));
                QVERIFY(!problems.saveList(list, {QStringLiteral("a"), QString::number(i)}));
            }
            QVERIFY(said.wait(5000));
            // Another failure of the same files says nothing new.
            QVERIFY(!store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0")));
            problems.retry();
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QCoreApplication::processEvents();
        QCOMPARE(said.size(), 1);
        const QString message = said.first().first().toString();
        QVERIFY2(message.startsWith(QStringLiteral("无法保存设置或列表: ")), qPrintable(message));
        QVERIFY2(message.contains(config) && message.contains(QStringLiteral("另有 1 个文件")), qPrintable(message));
        QCOMPARE(bytesOf(config), QByteArray("[RunData]\r\nSearchOn=3\r\n"));
        QVERIFY(!QFile::exists(list));
        QCOMPARE(problems.pendingFiles().size(), 2);

        // The folder is back: what is in memory now goes in, newest values only.
        problems.retry();
        QCOMPARE(bytesOf(config), QByteArray("[RunData]\r\nSearchOn=19\r\nWindowMax=0\r\n"));
        QCOMPARE(ListFile::load(list).value_or(QStringList()), (QStringList{"a", "19"}));
        QVERIFY(!problems.hasPending());
        QCOMPARE(resolved.size(), 2);
    }

    void theRetryTimerWritesWithoutAnotherWrite()
    {
        QTemporaryDir dir;
        // The folder of the list is a regular file for now.
        const QString folder = dir.filePath(QStringLiteral("Data"));
        writeFile(folder, "not a folder");
        const QString list = folder + QStringLiteral("/NewlyList.lst");
        StorageProblems problems;
        problems.setRetryInterval(20);
        QSignalSpy said(&problems, &StorageProblems::problem);
        QSignalSpy resolved(&problems, &StorageProblems::resolved);
        QVERIFY(!problems.saveList(list, {QStringLiteral("t#http://a.test/")}));
        QVERIFY(said.wait(5000));
        QVERIFY(said.first().first().toString().contains(list));
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(resolved.wait(5000));
        QCOMPARE(resolved.first().first().toString(), list);
        QCOMPARE(ListFile::load(list).value_or(QStringList()), QStringList{"t#http://a.test/"});
        QCOMPARE(said.size(), 1);
    }

    void aFullDiskKeepsTheOldFileAndSaysWhy()
    {
        SmallDisk disk("size=64k");
        if (!disk.mounted)
            QSKIP("mounting a small tmpfs is not permitted here (needs root in the initial namespace)");
        const QString config = disk.dir.filePath(QStringLiteral("Config.ini"));
        const QByteArray original("[RunData]\r\nSearchOn=3\r\n");
        writeFile(config, original);
        disk.fill();
        StorageProblems problems;
        ConfigStore store(config);
        store.setProblems(&problems);
        QSignalSpy said(&problems, &StorageProblems::problem);
        QVERIFY(!store.writeString(kRunData, QStringLiteral("MainFormWidth"), QString(8000, QLatin1Char('9'))));
        QVERIFY(!problems.saveList(disk.dir.filePath(QStringLiteral("Url.lst")), QStringList(200, QString(100, QLatin1Char('u')))));
        QVERIFY(said.wait(5000));
        QCOMPARE(said.size(), 1);
        QCOMPARE(bytesOf(config), original);
        QVERIFY(!QFile::exists(disk.dir.filePath(QStringLiteral("Url.lst"))));
        // Room again: the retry brings the file up to date.
        QVERIFY(QFile::remove(disk.dir.filePath(QStringLiteral("filler"))));
        problems.retry();
        QVERIFY(!problems.hasPending());
        QVERIFY(bytesOf(config).contains("MainFormWidth=9999"));
        QCOMPARE(ListFile::load(disk.dir.filePath(QStringLiteral("Url.lst")))->size(), 200);
    }

    // The program: a Data "folder" that is a file makes every list write fail; the status
    // line says so once and the pages go on.
    void theProgramSaysItInTheStatusLine()
    {
        AppFixture app({{QStringLiteral("Data"), QByteArray("in the way")}});
        QSignalSpy said(app.program->storageProblems(), &StorageProblems::problem);
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.openPage(QStringLiteral("b.example"), QStringLiteral("B"));
        app.openPage(QStringLiteral("c.example"), QStringLiteral("C"));
        QVERIFY(said.wait(5000));
        QVERIFY2(app.statusText(0).startsWith(QStringLiteral("无法保存设置或列表: ")), qPrintable(app.statusText(0)));
        QVERIFY(app.statusText(0).contains(QStringLiteral("OpenURLList.lst")));
        QVERIFY(app.program->storageProblems()->pendingFiles().contains(app.path(QStringLiteral("Data/OpenURLList.lst"))));
        // More pages, more failed writes of the same files: nothing new is said.
        app.openPage(QStringLiteral("d.example"), QStringLiteral("D"));
        QCoreApplication::processEvents();
        QCOMPARE(said.size(), 1);
        QCOMPARE(app.pages->count(), 4);
        // The folder comes back: the retry and the batch of pages that finished meanwhile
        // write the pages as they are now.
        QVERIFY(QFile::remove(app.path(QStringLiteral("Data"))));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("Data"))));
        app.program->storageProblems()->retry();
        QVERIFY(!app.program->storageProblems()->hasPending());
        QTRY_COMPARE(app.lines(QStringLiteral("Data/OpenURLList.lst")).size(), 4);
        QVERIFY(!app.program->storageProblems()->hasPending());
    }
};

QTEST_MAIN(TestStorageProblems)
#include "tst_storageproblems.moc"

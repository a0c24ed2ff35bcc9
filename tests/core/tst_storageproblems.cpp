#include "core/configstore.h"
#include "core/listfile.h"
#include "core/safefile.h"
#include "core/storageproblems.h"
#include "engine/internetoptions.h"
#include "engine/sitepermissions.h"
#include "navigation/typedurls.h"
#include "tabs/recentlyclosed.h"
#include "appfixture.h"
#include "favorites/openpagelists.h"
#include "filepermissions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <sys/mount.h>
#include <sys/stat.h>

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

    // What is read is a regular file of a sane size, opened without waiting and without
    // following a link; anything else is refused at once, with its reason, and told.
    void readsTakeOnlyRegularFilesOfASaneSize()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo.lst"));
        const QString link = dir.filePath(QStringLiteral("link.lst"));
        const QString real = dir.filePath(QStringLiteral("real.lst"));
        QVERIFY(writeFile(real, "0123456789"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(QFile::link(real, link));
        QStringList told;
        SafeFile::setRefusalHandler([&told](const QString &path, const QString &) { told << path; });

        // On a thread: a read that waits on the FIFO must fail the test, not hang it.
        std::optional<QByteArray> fromFifo = QByteArray("not read");
        QString reason;
        QThread *reader = QThread::create([&] { fromFifo = SafeFile::read(fifo, &reason); });
        reader->start();
        const bool returned = reader->wait(5000);
        if (!returned) {
            // Lets the stuck read go before failing.
            QFile writer(fifo);
            writer.open(QIODevice::WriteOnly);
            writer.close();
            reader->wait();
        }
        delete reader;
        QVERIFY2(returned, "the read waited on the FIFO");
        QVERIFY(!fromFifo);
        QCOMPARE(reason, QStringLiteral("是管道"));
        QVERIFY(!SafeFile::read(link, &reason));
        QCOMPARE(reason, QStringLiteral("是链接"));
        QVERIFY(!SafeFile::read(dir.path()));
        QVERIFY(!SafeFile::read(real, nullptr, 9));
        QCOMPARE(SafeFile::read(real, nullptr, 10).value_or("refused"), QByteArray("0123456789"));
        QCOMPARE(told, (QStringList{fifo, link, dir.path(), real}));
        // Not there is not refused: it reads as nothing.
        QCOMPARE(SafeFile::read(dir.filePath(QStringLiteral("missing"))).value_or("refused"), QByteArray());
        // Files that claim no size (the kernel's) are read to their end.
        QVERIFY(SafeFile::read(QStringLiteral("/proc/self/status")).value_or(QByteArray()).contains("Pid:"));
        // A large file comes back whole, and is refused one byte over its bound.
        QByteArray large(3 * 1024 * 1024 + 7, 'x');
        for (qsizetype i = 0; i < large.size(); i += 4093)
            large[i] = char('a' + i % 26);
        const QString largeFile = dir.filePath(QStringLiteral("large"));
        QVERIFY(SafeFile::replace(largeFile, large));
        QCOMPARE(SafeFile::read(largeFile, nullptr, large.size()).value_or(QByteArray()), large);
        QVERIFY(!SafeFile::read(largeFile, nullptr, large.size() - 1));
        QVERIFY(!ListFile::load(fifo));
        QVERIFY(!SafeFile::acceptable(fifo) && !SafeFile::acceptable(link) && SafeFile::acceptable(real));
        // Nor is anything written through the link: its target keeps its bytes.
        QVERIFY(!SafeFile::replace(link, "written", &reason));
        QCOMPARE(reason, QStringLiteral("是链接"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(bytesOf(real), QByteArray("0123456789"));
        SafeFile::setRefusalHandler({});
    }

    // A FIFO planted at Config.ini and at the typed addresses, the Internet options and the
    // sites' answers, a link at a list: the program starts, reads none of them, says so and
    // leaves them as they are.
    void theProgramStartsPastPlantedFilesAndSaysSo()
    {
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("NewlyList.lst"));
        QVERIFY(writeFile(target, "Elsewhere#http://elsewhere.test/\r\n"));
        const QStringList fifos{TypedUrls::filePath(), SitePermissions::file(),
                                QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                    QStringLiteral("/sablix/InternetOptions.ini")};
        for (const QString &path : fifos) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        QString folder;
        AppFixture app(AppFixture::Planted{[&](const QString &programFolder) {
            folder = programFolder;
            ::mkfifo(QFile::encodeName(programFolder + QStringLiteral("Config.ini")).constData(), 0600);
            QDir().mkpath(programFolder + QStringLiteral("Data"));
            QFile::link(target, programFolder + QStringLiteral("Data/NewlyList.lst"));
        }});
        QSignalSpy said(app.program->storageProblems(), &StorageProblems::problem);
        QVERIFY(app.recentlyClosed()->entries().isEmpty());
        QCOMPARE(InternetOptions::homePage(), QStringLiteral("about:blank"));
        QVERIFY(SitePermissions::answers().isEmpty());
        QTRY_VERIFY(said.size() >= 5);
        const QString all = [&] {
            QStringList lines;
            for (const QList<QVariant> &one : said)
                lines << one.at(0).toString();
            return lines.join(QLatin1Char('\n'));
        }();
        for (const QString &path : fifos + QStringList{folder + QStringLiteral("Config.ini")})
            QVERIFY2(all.contains(path + QStringLiteral("：它是管道")), qPrintable(all));
        QVERIFY2(all.contains(QStringLiteral("NewlyList.lst：它是链接")), qPrintable(all));
        // Each said once, however often it was asked for.
        QCOMPARE(all.count(QStringLiteral("Config.ini：它是管道")), 1);
        QVERIFY(QFileInfo(folder + QStringLiteral("Data/NewlyList.lst")).isSymLink());
        QCOMPARE(bytesOf(target), QByteArray("Elsewhere#http://elsewhere.test/\r\n"));
        struct stat info = {};
        QCOMPARE(::lstat(QFile::encodeName(folder + QStringLiteral("Config.ini")).constData(), &info), 0);
        QVERIFY(S_ISFIFO(info.st_mode));
        for (const QString &path : fifos)
            QFile::remove(path);
    }
};

QTEST_MAIN(TestStorageProblems)
#include "tst_storageproblems.moc"

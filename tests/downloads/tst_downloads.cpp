#include "appfixture.h"
#include "downloads/downloadnames.h"
#include "downloads/downloads.h"
#include "downloads/downloadswindow.h"
#include "downloads/partfile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A download the test moves along by hand, writing its ".part" file as the engine does.
class FakeDownload : public DownloadItem
{
public:
    FakeDownload(const QString &finalPath, QObject *parent, const QString &partPath = {})
        : DownloadItem(parent), m_final(finalPath), m_part(partPath.isEmpty() ? finalPath + QStringLiteral(".part") : partPath)
    {
    }

    QUrl url() const override { return QUrl(QStringLiteral("http://127.0.0.1/file.bin")); }
    QString partPath() const override { return m_part; }
    QString finalPath() const override { return m_final; }
    qint64 received() const override { return m_received; }
    qint64 total() const override { return m_total; }
    State state() const override { return m_state; }
    QString error() const override { return m_error; }
    bool savedPage() const override { return false; }
    void pause() override { set(Paused); }
    void resume() override { set(InProgress); }
    void cancel() override { set(Cancelled); }

    void arrive(const QByteArray &bytes, qint64 total)
    {
        QFile part(partPath());
        QVERIFY(part.open(QIODevice::Append));
        part.write(bytes);
        m_received += bytes.size();
        m_total = total;
        emit changed();
    }
    void set(State state, const QString &error = {})
    {
        m_state = state;
        m_error = error;
        emit changed();
    }

private:
    QString m_final;
    QString m_part;
    qint64 m_received = 0;
    qint64 m_total = -1;
    State m_state = InProgress;
    QString m_error;
};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestDownloads : public QObject
{
    Q_OBJECT

private slots:
    void suggestedNamesAreMadeSafe_data()
    {
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "report.pdf" << "report.pdf";
        QTest::newRow("climbs out") << "../../.bashrc" << "bashrc";
        QTest::newRow("backslashes") << "..\\..\\windows\\evil.exe" << "evil.exe";
        QTest::newRow("absolute") << "/etc/passwd" << "passwd";
        QTest::newRow("empty") << "" << "下载";
        QTest::newRow("only dots") << "..." << "下载";
        QTest::newRow("folder only") << "a/b/" << "下载";
        QTest::newRow("control characters") << QStringLiteral("a\nb\tc\u202Etxt.exe") << "a_b_c_txt.exe";
        QTest::newRow("chinese") << "报告 2026.pdf" << "报告 2026.pdf";
    }
    void suggestedNamesAreMadeSafe()
    {
        QFETCH(QString, suggested);
        QFETCH(QString, safe);
        QCOMPARE(DownloadNames::safe(suggested), safe);
    }

    void longNamesAreCutKeepingTheirExtension()
    {
        for (const QString &unit : {QStringLiteral("a"), QStringLiteral("文"), QStringLiteral("😀")}) {
            const QString name = DownloadNames::safe(unit.repeated(2000) + QStringLiteral(".tar"));
            QVERIFY2(name.toUtf8().size() <= 200, qPrintable(QString::number(name.toUtf8().size())));
            QVERIFY(name.endsWith(QLatin1String(".tar")));
            QVERIFY(name.startsWith(unit));
            // Never half a character.
            QCOMPARE(QString::fromUtf8(name.toUtf8()), name);
        }
        QVERIFY(DownloadNames::safe(QStringLiteral("x").repeated(2000)).toUtf8().size() <= 200);
    }

    void aTakenNameGetsANumber()
    {
        QTemporaryDir dir;
        QCOMPARE(DownloadNames::freePath(dir.path(), QStringLiteral("a.txt")), dir.filePath(QStringLiteral("a.txt")));
        writeFile(dir.filePath(QStringLiteral("a.txt")), "old");
        QCOMPARE(DownloadNames::freePath(dir.path(), QStringLiteral("a.txt")), dir.filePath(QStringLiteral("a (2).txt")));
        // One still arriving holds its name as well.
        writeFile(dir.filePath(QStringLiteral("a (2).txt.part")), "half");
        QCOMPARE(DownloadNames::freePath(dir.path(), QStringLiteral("a.txt")), dir.filePath(QStringLiteral("a (3).txt")));
        writeFile(dir.filePath(QStringLiteral("README")), "");
        QCOMPARE(DownloadNames::freePath(dir.path(), QStringLiteral("README")), dir.filePath(QStringLiteral("README (2)")));
    }

    void theDialogProposesTheDownloadFolder()
    {
        QWidget window;
        Downloads downloads(&window);
        QString proposed;
        downloads.askWhereTo = [&](const QString &path) {
            proposed = path;
            return QString();
        };
        // Refused: nothing to download.
        QCOMPARE(downloads.chooseFile(QStringLiteral("../../.bashrc"), QUrl(QStringLiteral("http://h/x"))), QString());
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        QCOMPARE(proposed, QDir(folder).filePath(QStringLiteral("bashrc")));
        // No suggestion: the address's file name.
        downloads.chooseFile(QString(), QUrl(QStringLiteral("http://h/files/data.csv?x=1")));
        QCOMPARE(proposed, QDir(folder).filePath(QStringLiteral("data.csv")));
    }

    void aCompleteDownloadTakesItsNameWithoutReplacingAnother()
    {
        QTemporaryDir dir;
        QWidget window;
        Downloads downloads(&window);
        QStringList shown;
        connect(&downloads, &Downloads::activeChanged, &downloads, [&](const QString &text) { shown << text; });
        const QString target = dir.filePath(QStringLiteral("file.bin"));
        auto *item = new FakeDownload(target, &downloads);
        downloads.downloadStarted(item);
        item->arrive("first half ", 20);
        QCOMPARE(shown.last(), QStringLiteral("下载: 1"));
        QVERIFY(QFileInfo::exists(item->partPath()));
        QVERIFY(!QFileInfo::exists(target));
        // Meanwhile something else took the name: it stays.
        writeFile(target, "someone else's");
        item->arrive("and more", 20);
        item->set(DownloadItem::Completed);
        QCOMPARE(shown.last(), QString());
        QCOMPARE(contents(target), QByteArray("someone else's"));
        QCOMPARE(contents(dir.filePath(QStringLiteral("file (2).bin"))), QByteArray("first half and more"));
        QVERIFY(!QFileInfo::exists(item->partPath()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("file (2).bin"), QStringLiteral("file.bin")}));
        // The list shows the name the file got, and offers to open it.
        DownloadRow *row = downloads.window()->rows().value(0);
        QVERIFY(row);
        QVERIFY(row->status().startsWith(QStringLiteral("已完成")));
        QVERIFY(row->findChild<QPushButton *>(QStringLiteral("DownloadOpen"))->isEnabled());
        QVERIFY(!row->findChild<QPushButton *>(QStringLiteral("DownloadCancel"))->isEnabled());
    }

    void aFileTheUserChoseToReplaceIsReplaced()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("keep.txt"));
        writeFile(target, "old");
        QWidget window;
        Downloads downloads(&window);
        downloads.askWhereTo = [&](const QString &) { return target; }; // the dialog asked and the user said yes
        QCOMPARE(downloads.chooseFile(QStringLiteral("keep.txt"), QUrl()), target);
        auto *item = new FakeDownload(target, &downloads);
        downloads.downloadStarted(item);
        item->arrive("new", 3);
        item->set(DownloadItem::Completed);
        QCOMPARE(contents(target), QByteArray("new"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("keep (2).txt"))));
    }

    void anInterruptedDownloadKeepsWhatArrivedAndSaysSo()
    {
        QTemporaryDir dir;
        QWidget window;
        Downloads downloads(&window);
        auto *item = new FakeDownload(dir.filePath(QStringLiteral("big.iso")), &downloads);
        downloads.downloadStarted(item);
        item->arrive("some", 1000);
        DownloadRow *row = downloads.window()->rows().value(0);
        auto *pause = row->findChild<QPushButton *>(QStringLiteral("DownloadPause"));
        pause->click();
        QCOMPARE(item->state(), DownloadItem::Paused);
        QVERIFY(row->status().startsWith(QStringLiteral("已暂停")));
        QCOMPARE(pause->text(), QStringLiteral("继续"));
        pause->click();
        QCOMPARE(item->state(), DownloadItem::InProgress);
        item->arrive(" more", 1000);
        // The engine drops what it cannot resume; what arrived stays all the same.
        QVERIFY(QFile::remove(item->partPath()));
        item->set(DownloadItem::Interrupted, QStringLiteral("网络已断开"));
        QCOMPARE(contents(item->partPath()), QByteArray("some more"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("big.iso.part")));
        QVERIFY(!QFileInfo::exists(item->finalPath()));
        QVERIFY(row->status().contains(QStringLiteral("网络已断开")));
        QVERIFY(row->status().contains(QStringLiteral("big.iso.part")));
        QVERIFY(!pause->isEnabled());
        QCOMPARE(downloads.activeCount(), 0);

        // A break after which the engine left its file: still one name, no hidden one.
        auto *left = new FakeDownload(dir.filePath(QStringLiteral("small.iso")), &downloads);
        downloads.downloadStarted(left);
        left->arrive("abc", 10);
        left->set(DownloadItem::Interrupted);
        QCOMPARE(contents(left->partPath()), QByteArray("abc"));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*small*")}, QDir::Files | QDir::Hidden),
                 QStringList(QStringLiteral("small.iso.part")));

        // An attempt that began and broke off between two reports: no hidden name was ever
        // made, and what arrived is in the engine's own file, which it left.
        auto *quick = new FakeDownload(dir.filePath(QStringLiteral("quick.iso")), &downloads);
        downloads.downloadStarted(quick);
        writeFile(quick->partPath() + QStringLiteral(".download"), "quick bytes");
        quick->set(DownloadItem::Interrupted);
        QCOMPARE(contents(quick->partPath()), QByteArray("quick bytes"));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*quick*")}, QDir::Files | QDir::Hidden),
                 QStringList(QStringLiteral("quick.iso.part")));

        // One whose file came and went between two reports: held as it appeared.
        auto *unreported = new FakeDownload(dir.filePath(QStringLiteral("brief.iso")), &downloads);
        downloads.downloadStarted(unreported);
        QVERIFY(writeFile(unreported->partPath(), "brief bytes"));
        QTRY_VERIFY(QFileInfo::exists(PartFile::keptPath(unreported->partPath())));
        QVERIFY(QFile::remove(unreported->partPath()));
        unreported->set(DownloadItem::Interrupted);
        QCOMPARE(contents(unreported->partPath()), QByteArray("brief bytes"));
        QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*brief*")}, QDir::Files | QDir::Hidden),
                 QStringList(QStringLiteral("brief.iso.part")));
    }

    void aStaleHiddenFileIsNeverTakenForANewDownload()
    {
        QTemporaryDir dir;
        QWidget window;
        Downloads downloads(&window);
        const QString target = dir.filePath(QStringLiteral("file.bin"));
        const QString stale = PartFile::keptPath(target + QStringLiteral(".part"));
        // An earlier run's hidden name whose partial file the user deleted since: it goes
        // (it held the deleted file's space), and the name is free for the new download.
        writeFile(stale, "an earlier run's bytes");
        QCOMPARE(downloads.partFileFor(target), target + QStringLiteral(".part"));
        QVERIFY(!QFileInfo::exists(stale));

        // One that comes back while the download runs is not taken for its own either.
        auto *item = new FakeDownload(target, &downloads);
        downloads.downloadStarted(item);
        writeFile(stale, "an earlier run's bytes");
        item->arrive("this run's", 100);
        QVERIFY(QFile::remove(item->partPath())); // the engine drops what it cannot resume
        item->set(DownloadItem::Interrupted);
        QCOMPARE(contents(item->partPath()), QByteArray("this run's"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("file.bin.part")));
    }

    void aPartFileThatIsThereAlreadyIsNeverWrittenOver()
    {
        QTemporaryDir dir;
        QWidget window;
        Downloads downloads(&window);
        const QString target = dir.filePath(QStringLiteral("mine.bin"));
        // The user's own file, and then one of ours from a run that ended without a word.
        writeFile(target + QStringLiteral(".part"), "the user's");
        QCOMPARE(downloads.partFileFor(target), target + QStringLiteral(".2.part"));
        writeFile(target + QStringLiteral(".2.part.download"), "an engine file");
        QCOMPARE(downloads.partFileFor(target), target + QStringLiteral(".3.part"));

        auto *item = new FakeDownload(target, &downloads, downloads.partFileFor(target));
        downloads.downloadStarted(item);
        item->arrive("downloaded", 10);
        item->set(DownloadItem::Completed);
        QCOMPARE(contents(target), QByteArray("downloaded"));
        QCOMPARE(contents(target + QStringLiteral(".part")), QByteArray("the user's"));
    }

    void leavingCancelsWhatRunsAndLeavesNoPartialFiles()
    {
        AppFixture app;
        Downloads *downloads = app.program->downloads();
        QTemporaryDir dir;
        auto *running = new FakeDownload(dir.filePath(QStringLiteral("running.bin")), downloads);
        auto *paused = new FakeDownload(dir.filePath(QStringLiteral("paused.bin")), downloads);
        auto *broken = new FakeDownload(dir.filePath(QStringLiteral("broken.bin")), downloads);
        for (FakeDownload *item : {running, paused, broken}) {
            downloads->downloadStarted(item);
            item->arrive("some", 100);
        }
        QVERIFY(QFileInfo::exists(PartFile::keptPath(running->partPath())));
        paused->pause();
        broken->set(DownloadItem::Interrupted);
        downloads->askToCloseWhileRunning = [](int) { return true; };
        app.main->close();
        QCOMPARE(running->state(), DownloadItem::Cancelled);
        QCOMPARE(paused->state(), DownloadItem::Cancelled);
        // What a broken download kept is the user's to resume or delete; nothing else stays.
        QCOMPARE(broken->state(), DownloadItem::Interrupted);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("broken.bin.part")));
    }

    void closingAsksOnlyWhileDownloadsRun()
    {
        QTemporaryDir dir;
        QWidget window;
        Downloads downloads(&window);
        QList<int> asked;
        bool answer = false;
        downloads.askToCloseWhileRunning = [&](int running) {
            asked << running;
            return answer;
        };
        QVERIFY(downloads.mayClose());
        auto *one = new FakeDownload(dir.filePath(QStringLiteral("1")), &downloads);
        auto *two = new FakeDownload(dir.filePath(QStringLiteral("2")), &downloads);
        downloads.downloadStarted(one);
        downloads.downloadStarted(two);
        two->pause();
        QVERIFY(!downloads.mayClose());
        answer = true;
        QVERIFY(downloads.mayClose());
        QCOMPARE(asked, QList<int>({2, 2}));
        one->cancel();
        two->set(DownloadItem::Interrupted);
        QVERIFY(downloads.mayClose());
        QCOMPARE(asked.size(), 2);
    }

    void theProgramShowsDownloadsInTheStatusLineAndAsksAtTheClose()
    {
        AppFixture app;
        Downloads *downloads = app.program->downloads();
        QTemporaryDir dir;
        auto *item = new FakeDownload(dir.filePath(QStringLiteral("f")), downloads);
        downloads->downloadStarted(item);
        QCOMPARE(app.statusText(2), QStringLiteral("下载: 1"));
        int asked = 0;
        downloads->askToCloseWhileRunning = [&](int) {
            ++asked;
            return false;
        };
        QSignalSpy closing(app.main, &TQORMainForm::closing);
        app.main->close();
        QCOMPARE(asked, 1);
        QCOMPARE(closing.count(), 0);
        item->set(DownloadItem::Completed);
        QCOMPARE(app.statusText(2), QString());
        QVERIFY(app.item("NDownloads"));
        app.item("NDownloads")->trigger();
        QVERIFY(downloads->window()->isVisible());
    }
};

QTEST_MAIN(TestDownloads)
#include "tst_downloads.moc"

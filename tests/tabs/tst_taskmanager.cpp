#include "appfixture.h"
#include "tabs/processusage.h"
#include "tabs/taskmanager.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

// The task manager: what it reads of processes, how it lists pages, and what its two
// buttons do.
class TestTaskManager : public QObject
{
    Q_OBJECT

private:
    using Rest = TEmbeddedWB::Rest;

    static int rowOf(TaskManager *manager, const QString &caption)
    {
        for (int row = 0; row < manager->list()->topLevelItemCount(); ++row)
            if (manager->list()->topLevelItem(row)->text(TaskManager::ColumnTitle) == caption)
                return row;
        return -1;
    }

    static void choose(TaskManager *manager, const QStringList &captions)
    {
        manager->list()->clearSelection();
        for (const QString &caption : captions) {
            const int row = rowOf(manager, caption);
            QVERIFY2(row >= 0, qPrintable(caption));
            manager->list()->topLevelItem(row)->setSelected(true);
        }
    }

private slots:
    void readsTheSystemsFiguresOfAProcess()
    {
        const qint64 self = QCoreApplication::applicationPid();
        QVERIFY(ProcessUsage::memoryKiB(self) > 1024);
        // Burn a little time: the ticks only grow.
        const qint64 before = ProcessUsage::cpuTicks(self);
        QVERIFY(before >= 0);
        volatile double sink = 0;
        for (int i = 0; i < 50000000; ++i)
            sink = sink + i * 0.5;
        QVERIFY(ProcessUsage::cpuTicks(self) > before);
        // No such process: above the largest id the system hands out, and nonsense.
        QFile maxFile(QStringLiteral("/proc/sys/kernel/pid_max"));
        QVERIFY(maxFile.open(QIODevice::ReadOnly));
        const qint64 beyond = maxFile.readAll().trimmed().toLongLong() + 1;
        QCOMPARE(ProcessUsage::memoryKiB(beyond), -1);
        QCOMPARE(ProcessUsage::cpuTicks(beyond), -1);
        QCOMPARE(ProcessUsage::memoryKiB(0), -1);
        QCOMPARE(ProcessUsage::cpuTicks(-5), -1);
    }

    void listsEveryPageHungriestFirstWithItsState()
    {
        AppFixture app;
        app.main->show();
        ScriptedBrowser *small = app.openPage(QStringLiteral("http://small.test/"), QStringLiteral("小页面"));
        ScriptedBrowser *rested = app.openPage(QStringLiteral("http://rested.test/"), QStringLiteral("<b>Rested</b>"));
        ScriptedBrowser *big = app.openPage(QStringLiteral("http://big.test/"), QStringLiteral("Big"));
        // A real process stands behind the big page: this test's own, larger than a shell.
        QProcess shell;
        shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("read line")});
        QVERIFY(shell.waitForStarted());
        small->rendererPid = shell.processId();
        big->rendererPid = QCoreApplication::applicationPid();
        app.widget<QTabWidget>("PageControl")->setCurrentIndex(app.pages->indexOf(small));
        rested->setRest(Rest::Discarded);

        TaskManager *manager = app.program->showTaskManager();
        QSignalSpy refreshed(manager, &TaskManager::refreshed);
        QVERIFY(refreshed.wait());
        QCOMPARE(manager->list()->topLevelItemCount(), 3);
        // The page's memory appears, largest first; a page without a process has none.
        QTreeWidgetItem *first = manager->list()->topLevelItem(0);
        QCOMPARE(first->text(TaskManager::ColumnTitle), QStringLiteral("Big"));
        QVERIFY2(first->text(TaskManager::ColumnMemory).endsWith(QLatin1String(" MB")),
                 qPrintable(first->text(TaskManager::ColumnMemory)));
        QCOMPARE(manager->pageOfRow(0), big);
        QCOMPARE(manager->list()->topLevelItem(1)->text(TaskManager::ColumnTitle), QStringLiteral("小页面"));
        QTreeWidgetItem *last = manager->list()->topLevelItem(2);
        // Titles are text as they stand, never markup.
        QCOMPARE(last->text(TaskManager::ColumnTitle), QStringLiteral("<b>Rested</b>"));
        QCOMPARE(last->text(TaskManager::ColumnMemory), QStringLiteral("—"));
        QCOMPARE(last->text(TaskManager::ColumnState), QStringLiteral("已休眠"));
        QCOMPARE(first->text(TaskManager::ColumnState), QStringLiteral("活动"));
        // The share of a processor needs two looks.
        QCOMPARE(first->text(TaskManager::ColumnCpu), QStringLiteral("—"));
        manager->refresh();
        QVERIFY(refreshed.wait());
        QVERIFY(manager->list()->topLevelItem(0)->text(TaskManager::ColumnCpu).endsWith(QLatin1Char('%')));

        // Pages sharing one process share its figure.
        small->rendererPid = big->rendererPid;
        manager->refresh();
        QVERIFY(refreshed.wait());
        QVERIFY(!manager->list()->topLevelItem(0)->toolTip(TaskManager::ColumnMemory).isEmpty());

        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
    }

    void restDiscardsTheChosenPagesButNotTheOneInFrontOrWithTypedText()
    {
        AppFixture app;
        app.main->show();
        ScriptedBrowser *plain = app.openPage(QStringLiteral("http://plain.test/"), QStringLiteral("Plain"));
        ScriptedBrowser *typed = app.openPage(QStringLiteral("http://typed.test/"), QStringLiteral("Typed"));
        typed->scriptResponder = [](const QString &) { return QVariant(true); };
        ScriptedBrowser *front = app.openPage(QStringLiteral("http://front.test/"), QStringLiteral("Front"));
        TaskManager *manager = app.program->showTaskManager();
        QSignalSpy refreshed(manager, &TaskManager::refreshed);
        QSignalSpy said(manager, &TaskManager::statusMessage);
        QVERIFY(refreshed.wait());

        choose(manager, {QStringLiteral("Plain"), QStringLiteral("Typed"), QStringLiteral("Front")});
        manager->restButton()->click();
        QVERIFY(said.wait());
        QCOMPARE(plain->rest(), Rest::Discarded);
        QCOMPARE(typed->rest(), Rest::Active);
        QCOMPARE(front->rest(), Rest::Active);
        QVERIFY(said.first().first().toString().startsWith(QStringLiteral("2 个页面未休眠")));
        // The list says so after its next look.
        if (refreshed.count() < 2)
            QVERIFY(refreshed.wait());
        QCOMPARE(manager->list()->topLevelItem(rowOf(manager, QStringLiteral("Plain")))->text(TaskManager::ColumnState),
                 QStringLiteral("已休眠"));
    }

    void closeClosesTheChosenPagesIntoTheRecentlyClosedList()
    {
        AppFixture app;
        app.main->show();
        app.openPage(QStringLiteral("http://one.test/"), QStringLiteral("One"));
        app.openPage(QStringLiteral("http://two.test/"), QStringLiteral("Two"));
        app.openPage(QStringLiteral("http://three.test/"), QStringLiteral("Three"));
        TaskManager *manager = app.program->showTaskManager();
        QSignalSpy refreshed(manager, &TaskManager::refreshed);
        QVERIFY(refreshed.wait());
        choose(manager, {QStringLiteral("One"), QStringLiteral("Three")});
        manager->closeButton()->click();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://two.test/"));
        QVERIFY(refreshed.wait());
        QCOMPARE(manager->list()->topLevelItemCount(), 1);
        // Nothing chosen: nothing happens.
        manager->list()->clearSelection();
        manager->closeButton()->click();
        QCOMPARE(app.pages->count(), 1);
    }

    void theWindowIsOnTheToolsMenuAndShiftEscape()
    {
        AppFixture app;
        QAction *item = app.item("NTaskManager");
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("任务管理器\tShift+Esc"));
        QCOMPARE(app.item("ActionNTaskManager")->shortcut(), QKeySequence(QStringLiteral("Shift+Esc")));
        item->trigger();
        auto *manager = app.main->findChild<TaskManager *>();
        QVERIFY(manager && manager->isVisible());
        QCOMPARE(manager->windowTitle(), QStringLiteral("任务管理器"));
    }
};

QTEST_MAIN(TestTaskManager)
#include "tst_taskmanager.moc"

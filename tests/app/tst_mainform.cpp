#include "core/listfile.h"
#include "appfixture.h"
#include "app/desktoppalette.h"
#include "app/enginenotice.h"
#include "window/internetoptionsdialog.h"
#include "engine/sitepermissions.h"
#include "../history/historytesting.h"
#include "history/history.h"
#include "navigation/addressbar.h"
#include "navigation/searchbar.h"
#include "tabs/pagetabs.h"
#include "statusbar/setform.h"

#include <QAction>
#include <QRegularExpression>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include "engine/internetoptions.h"
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <unistd.h>

// The variables these tests change are named before any thread runs and emptied rather than
// removed: one added later moves the environment under the history's and the desktop
// settings' threads reading theirs.
static const bool g_variablesNamed = [] {
    for (const char *name : {"SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", "QTWEBENGINE_CHROMIUM_FLAGS", "GTK_THEME"})
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, QByteArray());
    return true;
}();

class TestMainForm : public QObject
{
    Q_OBJECT

private:
    static void drop(TQORMainForm *main, const QString &text)
    {
        QMimeData data;
        data.setText(text);
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent dropEvent(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &dropEvent);
        QVERIFY(dropEvent.isAccepted());
    }

    // Debian 12's engine, as it reports itself.
    static EngineVersions debianEngine()
    {
        return {QStringLiteral("6.4.2"), QStringLiteral("102.0.5005.177"), QStringLiteral("108.0.5359.94")};
    }

private slots:
    void menusCarryTheirCaptionsAndKeys_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("keys");
        const char *const rows[][3] = {
            {"NFile", "文件(&F)", ""}, {"NAddNew", "新建...", ""}, {"NAddNewBlank", "空白页", "Ctrl+B"},
            {"NAddNewHomePage", "主页", "Ctrl+H"}, {"NCopyCurrentPage", "复制当前页", "Ctrl+Alt+N"},
            {"NOpenFile", "打开文件(&O)", ""}, {"NSaveAs", "另存为(&A)...", "Ctrl+S"},
            {"NPageSetup", "页面设置(&U)", ""}, {"NPrint", "打印", "Ctrl+P"}, {"NPrintView", "打印预览(&V)", ""},
            {"NSend", "发送(&E)", ""}, {"NNewMail", "电子邮件页面(&P)", ""}, {"NSendPage", "电子邮件链接(&L)", ""},
            {"NSendLink", "桌面快捷方式(&S)", ""}, {"NImport", "导入和导出(&I)", ""},
            {"NCloseCurrent", "关闭当前窗口", "Ctrl+W"}, {"NAllClose", "全部关闭窗口", "Ctrl+Alt+W"},
            {"NAttribute", "属性(&R)", ""}, {"NOffline", "脱机工作", ""}, {"NExit", "退出(&E) ", "Ctrl+E"},
            {"NEdit", "编辑(&E)", ""}, {"NOpenNewlyOne", "撤消最后关闭", "Ctrl+J"}, {"NCut", "剪切(&T)", ""},
            {"NCopy", "复制(&C)", ""}, {"NPaste", "粘贴(&P)", ""}, {"NSelectAll", "全选(&A)", "Ctrl+A"},
            {"NFind", "查找(在当前页)(&F)...", "Ctrl+F"}, {"NEditSource", "编辑...", ""},
            {"NAddressSetFocus", "地址栏获焦点", "F6"}, {"NDocmentSetFocus", "文档获得焦点", "F7"},
            {"NCleanCurrentAd", "CLEAN当前AD", "F8"}, {"NView", "查看(&V)", ""}, {"NFontSize", "文字大小(&X)", ""},
            {"NLargest", "最大(&G)", ""}, {"NLarger", "较大(&L)", ""}, {"NMiddle", "中(&M)", ""},
            {"NSmall", "较小(&S)", ""}, {"NSmallest", "最小(&A)", ""}, {"NPageView", "网页缩放(&Z)", ""},
            {"N50", "50%", ""}, {"N75", "75%", ""}, {"N100", "100%", ""}, {"N125", "125%", ""},
            {"N150", "150%", ""}, {"N200", "200%", ""}, {"NStop", "停止", "Esc"}, {"NRefresh", "刷新", "F5"},
            {"NAllStop", "全部停止", ""}, {"NAllRefresh", "全部刷新", "Shift+F5"},
            {"NPreviousPage", "前一页面", "Ctrl+Q"}, {"NNextPage", "后一页面", "Ctrl+M"},
            {"NTOPageHome", "到网页文档头", ""}, {"NTOPageEnd", "到网页文档尾", ""}, {"NSource", "源文件(&C)", ""},
            {"NFavorit", "收藏(&A)", ""}, {"NAddFavorite", "添加到收藏夹(&F)", "Ctrl+D"},
            {"NTrimFavorite", "整理收藏夹(&O)...", ""}, {"NSet", "设置(&O)", ""}, {"NPopup", "广告屏蔽", ""},
            {"NStopPopup", "启用弹出窗口过滤", ""}, {"NStopFloatAd", "启用漂浮广告过滤", ""},
            {"NStopFlashAd", "启用FLASH过滤", ""}, {"NSetDefBrowser", "设置默认浏览器", ""},
            {"NSetBrowserQOR", "设置 sablix 为默认浏览器", ""}, {"NSetBrowserIE", "设置 IE 为默认浏览器", ""},
            {"NEnhancedSecurity", "增强安全模式", ""}, {"NSpellCheck", "拼写检查", ""},
            {"NHttpsFirst", "优先使用 HTTPS", ""}, {"NViewSource", "查看网页源代码", "Ctrl+U"},
            {"NDarkPages", "深色网页", ""}, {"NDeveloperTools", "开发者工具", "F12"},
            {"NPasswords", "密码管理(&P)...", ""}, {"NInternetOption", "Internet选项", ""}, {"NTools", "工具(&T)", ""},
            {"NCleanHisttoryM", "清除浏览记录", ""}, {"NCleanAddress", "清除地址栏历史", ""},
            {"NClearSearchHistory", "清除搜索栏历史", ""}, {"NCleanHistory", "清除浏览历史", ""},
            {"NCleanCache", "清除缓存(Cache)", ""}, {"NCleanCookies", "清除 Cookies", ""},
            {"NCleanTempDir", "清空临时目录", ""}, {"NCleanRecent", "清除最近浏览的文档 ", ""},
            {"NCleanAll", "全部清除", ""}, {"NHelp", "帮助(&H)", ""}, {"NHelpOnline", "在线帮助", ""},
            {"NBrowserHomePage", "sablix 主页", ""}, {"NBrowserBBS", "sablix 论坛", ""}, {"NAbout", "关于", ""},
            {"PopupMenuCloseCurrent", "关闭页面(&C)", ""}, {"NRRefresh", "刷新页面(&R)", ""},
            {"NBaidu", "百度搜索", ""}, {"NYahoo", "Yahoo搜索", ""},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromUtf8(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
    }

    void menusCarryTheirCaptionsAndKeys()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, keys);
        AppFixture app;
        QAction *item = app.main->findChild<QAction *>(name);
        QVERIFY2(item, qPrintable(name));
        // The menu shows the key after a tab; the key action alone carries it.
        QCOMPARE(item->text().section(QLatin1Char('\t'), 0, 0), caption);
        QCOMPARE(QKeySequence(item->text().section(QLatin1Char('\t'), 1)), QKeySequence(keys));
        QVERIFY(item->shortcut().isEmpty());
    }

    // No key sequence belongs to two things of the window: two would be ambiguous, and Qt
    // runs neither.
    void everyKeyHasOneOwner()
    {
        AppFixture app;
        app.openPage(QStringLiteral("a.example"));
        QHash<QKeySequence, QString> owners;
        auto own = [&owners](const QKeySequence &keys, const QString &owner) {
            if (keys.isEmpty())
                return;
            QVERIFY2(!owners.contains(keys), qPrintable(keys.toString() + QStringLiteral(": ") + owners.value(keys) +
                                                        QStringLiteral(" and ") + owner));
            owners.insert(keys, owner);
        };
        // Another window of the program (the task manager) has keys of its own.
        auto inWindow = [&app](const QObject *object) {
            const QWidget *widget = qobject_cast<const QWidget *>(object->parent());
            return widget && widget->window() == app.main;
        };
        for (const QAction *action : app.main->findChildren<QAction *>())
            if (inWindow(action))
                for (const QKeySequence &keys : action->shortcuts())
                    own(keys, action->objectName());
        for (const QShortcut *shortcut : app.main->findChildren<QShortcut *>())
            if (inWindow(shortcut))
                own(shortcut->key(), shortcut->objectName());
        QCOMPARE(owners.value(QKeySequence(QStringLiteral("Ctrl+B"))), QStringLiteral("ActionNAddNewBlank"));
    }

    // Every command of the table does something, unless the table says it is meant not to.
    void everyCommandHasAHandler()
    {
        AppFixture app;
        for (int i = 0; i < kCommandCount; ++i) {
            const CommandInfo &info = commandInfo(Command(i));
            QCOMPARE(info.id, Command(i));
            QVERIFY2(app.main->commands().isBound(info.id) != info.withoutHandler, info.name);
            QVERIFY2(app.item(info.name), info.name);
        }
        // What does nothing on purpose: a check mark that is its own state, and an item for a
        // browser this system does not have, greyed.
        QVERIFY(commandInfo(Command::NOffline).withoutHandler);
        QVERIFY(!app.item("NSetBrowserIE")->isEnabled());
    }

    void internetOptionsKeepTheHomePageAndMirrorTheSwitches()
    {
        AppFixture app;
        app.openPage(QStringLiteral("http://home.test/"), QStringLiteral("Home"));
        app.item("NInternetOption")->trigger();
        auto *dialog = app.main->findChild<QDialog *>(QStringLiteral("InternetOptionsDialog"));
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(dialog->isWindow());
        dialog->findChild<QPushButton *>(QStringLiteral("UseCurrentPage"))->click();
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("HomePage"))->text(), QStringLiteral("http://home.test/"));
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        buttons->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(InternetOptions::homePage(), QStringLiteral("http://home.test/"));
        // The switches are the menu's.
        app.item("NInternetOption")->trigger();
        dialog = app.main->findChild<QDialog *>(QStringLiteral("InternetOptionsDialog"));
        auto *popups = dialog->findChild<QCheckBox *>(QStringLiteral("NStopPopupBox"));
        QVERIFY(popups->isChecked());
        popups->click();
        QVERIFY(!app.item("NStopPopup")->isChecked());
        QCOMPARE(app.configValue(QStringLiteral("StopPopup")), QStringLiteral("0"));
        app.item("NStopPopup")->trigger();
        QVERIFY(popups->isChecked());
        dialog->findChild<QPushButton *>(QStringLiteral("UseBlankPage"))->click();
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(InternetOptions::homePage(), QStringLiteral("about:blank"));
    }

    // How long the browsing history keeps visits: HistoryDays in RunData, set in the options,
    // and what is older goes at the start and when the setting shrinks.
    void theHistoryDaysAreAnOption()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const qint64 day = 24 * 3600 * 1000LL;
        {
            // Unusable values are the default.
            AppFixture app("[RunData]\r\nHistoryDays=many\r\n");
            History *history = app.program->history();
            QCOMPARE(history->retentionDays(), 90);
            QVERIFY(HistoryTesting::waitReady(history));
            QVERIFY(HistoryTesting::emptyHistory(history));
            history->record(QStringLiteral("http://month.test/"), QString(), now - 30 * day);
            history->record(QStringLiteral("http://week.test/"), QString(), now - 7 * day);
            history->record(QStringLiteral("http://today.test/"), QString(), now);
            QVERIFY(HistoryTesting::writeNow(history));
            QCOMPARE(history->reader().count(), 3);
        }
        {
            AppFixture app("[RunData]\r\nHistoryDays=10\r\n");
            History *history = app.program->history();
            QCOMPARE(history->retentionDays(), 10);
            QVERIFY(HistoryTesting::waitReady(history));
            QCOMPARE(history->reader().count(), 2);
            QVERIFY(!history->reader().entry(QStringLiteral("http://month.test/")));

            app.item("NInternetOption")->trigger();
            auto *dialog = app.main->findChild<InternetOptionsDialog *>(QStringLiteral("InternetOptionsDialog"));
            QVERIFY(dialog);
            QCOMPARE(dialog->historyDays()->value(), 10);
            dialog->historyDays()->setValue(3);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            QCOMPARE(app.configValue(QStringLiteral("HistoryDays")), QStringLiteral("3"));
            QCOMPARE(history->retentionDays(), 3);
            // A visit written after the setting is the sign that the writer has applied it.
            history->record(QStringLiteral("http://now.test/"), QString(), now);
            QVERIFY(HistoryTesting::writeNow(history));
            QVERIFY(!history->reader().entry(QStringLiteral("http://week.test/")));
            QCOMPARE(history->reader().count(), 2);
        }
    }

    // "启动时" in the options: the home page by default, or the last run's pages
    // (RestoreOnStart); a restart keeps the choice.
    void whatAStartOpensIsAnOption()
    {
        QByteArray config;
        {
            AppFixture app;
            app.item("NInternetOption")->trigger();
            auto *dialog = app.main->findChild<InternetOptionsDialog *>(QStringLiteral("InternetOptionsDialog"));
            auto *home = dialog->findChild<QRadioButton *>(QStringLiteral("StartWithHomePage"));
            QVERIFY(home->isChecked() && !dialog->restoreOnStart()->isChecked());
            QCOMPARE(home->text(), QStringLiteral("打开主页(&H)"));
            QCOMPARE(dialog->restoreOnStart()->text(), QStringLiteral("继续上次打开的页面(&L)"));
            dialog->restoreOnStart()->setChecked(true);
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
            QCOMPARE(app.configValue(QStringLiteral("RestoreOnStart")), QStringLiteral("1"));
            config = app.bytes(QStringLiteral("Config.ini"));
        }
        AppFixture app(config);
        app.item("NInternetOption")->trigger();
        auto *dialog = app.main->findChild<InternetOptionsDialog *>(QStringLiteral("InternetOptionsDialog"));
        QVERIFY(dialog->restoreOnStart()->isChecked());
        dialog->findChild<QRadioButton *>(QStringLiteral("StartWithHomePage"))->setChecked(true);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(app.configValue(QStringLiteral("RestoreOnStart")), QStringLiteral("0"));
    }

    void sitePermissionsAreShownAndRevokedInTheOptions()
    {
        SitePermissions::setDecision(QStringLiteral("https://cam.example:-1"), SitePermissions::MediaVideoCapture, true);
        SitePermissions::setDecision(QStringLiteral("http://maps.example:8080"), SitePermissions::Geolocation, false);
        SitePermissions::setDecision(QStringLiteral("file:///home/u/a.html"), SitePermissions::Notifications, true);
        int revokedInEngine = 0;
        SitePermissions::setRevokedHook([&](const QString &, int) { ++revokedInEngine; });
        AppFixture app;
        app.item("NInternetOption")->trigger();
        auto *dialog = app.main->findChild<InternetOptionsDialog *>(QStringLiteral("InternetOptionsDialog"));
        QVERIFY(dialog);
        QListWidget *list = dialog->permissions();
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        shown.sort();
        QCOMPARE(shown, (QStringList{QStringLiteral("/home/u/a.html    显示通知: 允许"),
                                     QStringLiteral("http://maps.example:8080    您的位置: 拒绝"),
                                     QStringLiteral("https://cam.example:-1    摄像头: 允许")}));
        // Revoked at once: the store forgets it, the engine hears of it, the list follows.
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(list->item(i)->text().startsWith(QLatin1String("https://cam")));
        dialog->findChild<QPushButton *>(QStringLiteral("RevokePermission"))->click();
        QCOMPARE(list->count(), 2);
        QCOMPARE(SitePermissions::decision(QStringLiteral("https://cam.example:-1"), SitePermissions::MediaVideoCapture),
                 QString());
        QCOMPARE(SitePermissions::decision(QStringLiteral("http://maps.example:8080"), SitePermissions::Geolocation),
                 QStringLiteral("deny"));
        QCOMPARE(revokedInEngine, 1);
        dialog->findChild<QPushButton *>(QStringLiteral("RevokeAllPermissions"))->click();
        QCOMPARE(list->count(), 0);
        QVERIFY(SitePermissions::answers().isEmpty());
        QCOMPARE(revokedInEngine, 3);
        SitePermissions::setRevokedHook({});
    }

    void localPagesDoNotShareAnAnswer()
    {
        const QUrl opaque(QStringLiteral("file:///"));
        const QString one = SitePermissions::siteOf(opaque, QUrl(QStringLiteral("file:///home/u/one.html?x=1#top")));
        const QString two = SitePermissions::siteOf(opaque, QUrl(QStringLiteral("file:///tmp/two.html")));
        QCOMPARE(one, QStringLiteral("file:///home/u/one.html"));
        QVERIFY(one != two);
        SitePermissions::setDecision(one, SitePermissions::Geolocation, true);
        QCOMPARE(SitePermissions::decision(one, SitePermissions::Geolocation), QStringLiteral("allow"));
        QCOMPARE(SitePermissions::decision(two, SitePermissions::Geolocation), QString());
        // Web sites are kept by origin, as they always were.
        QCOMPARE(SitePermissions::siteOf(QUrl(QStringLiteral("http://a.example:81")), QUrl(QStringLiteral("http://a.example:81/p"))),
                 QStringLiteral("http://a.example:81"));
        // One answer of old kept for every local page at once is not used for any.
        writeFile(SitePermissions::file(), "[file%3A%2F%2F%3A-1]\n1=allow\n");
        QVERIFY(SitePermissions::answers().isEmpty());
        QFile::remove(SitePermissions::file());
    }

    void hiddenItemsAndSeparators()
    {
        AppFixture app;
        for (const char *name : {"NAddressSetFocus", "NDocmentSetFocus", "NCleanCurrentAd"})
            QVERIFY(!app.item(name)->isVisible());
        for (const char *name : {"N3", "N34", "N35", "N28"})
            QVERIFY(app.item(name)->isSeparator());
        const QStringList top = [&] {
            QStringList list;
            for (QAction *action : app.main->menuBar()->actions())
                list << action->objectName();
            return list;
        }();
        QCOMPARE(top, (QStringList{"NFile", "NEdit", "NView", "NFavorit", "NSet", "NTools", "NHelp"}));
    }

    void actionListRunsTheMenuCommands_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("item");
        const char *const rows[][3] = {
            {"ActionNAddNewBlank", "Ctrl+B", "NAddNewBlank"}, {"ActionNAddNewHomePage", "Ctrl+H", "NAddNewHomePage"},
            {"ActionNCopyCurrentPage", "Ctrl+Alt+N", "NCopyCurrentPage"}, {"ActionNSaveAs", "Ctrl+S", "NSaveAs"},
            {"ActionNPrint", "Ctrl+P", "NPrint"}, {"ActionNCloseCurrent", "Ctrl+W", "NCloseCurrent"},
            {"ActionNAllClose", "Ctrl+Alt+W", "NAllClose"}, {"ActionNExit", "Ctrl+E", "NExit"},
            {"ActionNSelectAll", "Ctrl+A", "NSelectAll"}, {"ActionNFind", "Ctrl+F", "NFind"},
            {"ActionNAddressSetFocus", "F6", "NAddressSetFocus"}, {"ActionNRefresh", "F5", "NRefresh"},
            {"ActionNStop", "Esc", "NStop"}, {"ActionNAllRefresh", "Shift+F5", "NAllRefresh"},
            {"ActionNPreviousPage", "Ctrl+Q", "NPreviousPage"}, {"ActionNNextPage", "Ctrl+M", "NNextPage"},
            {"ActionNAddFavorite", "Ctrl+D", "NAddFavorite"}, {"ActionOpenNewlyOne", "Ctrl+J", "NOpenNewlyOne"},
            {"ActionDocmentSetFocus", "F7", "NDocmentSetFocus"}, {"ActionCleanCurrentAd", "F8", "NCleanCurrentAd"},
        };
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2]);
    }

    void actionListRunsTheMenuCommands()
    {
        QFETCH(QString, action);
        QFETCH(QString, keys);
        QFETCH(QString, item);
        AppFixture app;
        auto *shortcut = app.main->findChild<QAction *>(action);
        QVERIFY(shortcut);
        QCOMPARE(shortcut->shortcut(), QKeySequence(keys));
        QCOMPARE(shortcut->shortcutContext(), Qt::WindowShortcut);
        QSignalSpy ran(app.main->findChild<QAction *>(item), &QAction::triggered);
        if (item == QLatin1String("NExit")) {
            QSignalSpy closed(app.main, &TQORMainForm::closed);
            app.main->show();
            shortcut->trigger();
            QCOMPARE(closed.count(), 1);
        } else {
            shortcut->trigger();
        }
        QCOMPARE(ran.count(), 1);
    }

    void keysReachTheActionsInTheWindow()
    {
        AppFixture app;
        app.main->show();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        QTest::keyClick(app.main, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 1);
        QTest::keyClick(app.widget<QComboBox>("CBURL")->lineEdit(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 2);
        // The window's keys win over the address box's own editing keys...
        QSignalSpy closed(app.main, &TQORMainForm::closed);
        app.widget<QComboBox>("CBURL")->setFocus();
        app.setAddressText(QStringLiteral("abc"));
        app.widget<QComboBox>("CBURL")->lineEdit()->setCursorPosition(0);
        QTest::keyClick(app.widget<QComboBox>("CBURL")->lineEdit(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
        // ...except the common ones: Ctrl+A selects the box's text.
        AppFixture other;
        other.main->show();
        QVERIFY(QTest::qWaitForWindowActive(other.main));
        other.setAddressText(QStringLiteral("select me"));
        other.widget<QComboBox>("CBURL")->setFocus();
        QTest::keyClick(other.widget<QComboBox>("CBURL")->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(other.widget<QComboBox>("CBURL")->lineEdit()->selectedText(), QStringLiteral("select me"));
    }

    // While the menu bar has the keyboard (a tap of Alt, a menu closed with Esc), the
    // window's keys still run, and not only once.
    void keysRunWhileTheMenuBarHasTheKeyboard()
    {
        AppFixture app;
        QVERIFY(app.showActive());
        app.openPage(QStringLiteral("a.example"));
        QMenuBar *bar = app.main->menuBar();
        bar->setFocus(Qt::MenuBarFocusReason);
        QVERIFY(bar->hasFocus());
        QTest::keyClick(bar, Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 2);

        bar->setFocus(Qt::MenuBarFocusReason);
        QTest::keyClick(bar, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 2);
    }

    void barsAndHints()
    {
        AppFixture app;
        QCOMPARE(app.main->windowTitle(), QStringLiteral("sablix 浏览器"));
        QCOMPARE(app.widget<QLabel>("LabelAddress")->text(), QStringLiteral("地址"));
        QCOMPARE(app.widget<QComboBox>("CBURL")->toolTip(), QStringLiteral("地址栏"));
        QCOMPARE(app.widget<QComboBox>("CBURL")->maxVisibleItems(), 8);
        QCOMPARE(app.widget<QToolButton>("BBGO")->toolTip(), QStringLiteral("转到"));
        QCOMPARE(app.widget<QToolButton>("SBSearch")->toolTip(), QStringLiteral("搜索"));
        QCOMPARE(app.widget<QToolButton>("SBSearchOn")->toolTip(), QStringLiteral("搜索引擎选择"));
        QCOMPARE(app.widget<QToolButton>("SBAddNew")->toolTip(), QStringLiteral("新建空白页面"));
        QCOMPARE(app.widget<QToolButton>("SBCloseCurrentPage")->toolTip(), QStringLiteral("关闭当前页"));
        for (const char *name : {"ToolBarAddress", "PanelAddress", "PanelPN", "SBP", "SBN", "PanelAddress_", "LabelAddress",
                                 "CBURL", "BBGO", "PanelRS", "PanelSearch", "ComboBoxSearch", "SBSearch", "SBSearchOn",
                                 "PanelExtended2", "SBAddNew", "SBCloseCurrentPage", "PanelMainClient", "PageControl",
                                 "ListBoxNewly", "SBL1", "SBL2", "SBH1", "SBH2", "StatusBar", "PopupMenuPcl",
                                 "PopupMenuSearch", "PopupMenuNewly", "MainMenu1"})
            QVERIFY2(app.main->findChild<QObject *>(QLatin1String(name)), name);
        QVERIFY(!app.widget<QListView>("ListBoxNewly")->isVisibleTo(app.main));
        QVERIFY(app.showsPictureOf("SBP", "SBH1"));
        // Every picture of the tool bar is there, at the sizes it is drawn.
        for (const char *name : {"SBP", "SBN", "BBGO", "SBRefresh", "SBStop", "SBSearch", "SBAddNew", "SBCloseCurrentPage",
                                 "SBL1", "SBL2"})
            for (int size : {16, 32})
                QVERIFY2(app.widget<QToolButton>(name)->icon().pixmap(size, size).size() == QSize(size, size), name);
    }

    void toolBarLayoutGivesTheAddressBoxTheRest()
    {
        AppFixture full("[RunData]\r\nWindowMax=0\r\nMainFormWidth=1000\r\n");
        full.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(full.main));
        QCOMPARE(full.widget<QWidget>("PanelSearch")->width(), 176);
        QCOMPARE(full.widget<QWidget>("PanelExtended2")->width(), 64);
        const int row = full.widget<QWidget>("PanelAddress")->parentWidget()->width();
        QVERIFY(full.widget<QWidget>("PanelAddress")->width() >= row - 176 - 64 - 6);
        const int fullBox = full.widget<QComboBox>("CBURL")->width();

        AppFixture noButtons("[RunData]\r\nWindowMax=0\r\nMainFormWidth=1000\r\nPanelExtended2=0\r\nPanelExtended3=0\r\n");
        noButtons.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(noButtons.main));
        const int gained = noButtons.widget<QComboBox>("CBURL")->width() - fullBox;
        const int hiddenRoom = 64 + full.widget<QWidget>("PanelPN")->width() + full.widget<QWidget>("PanelRS")->width();
        QVERIFY2(gained >= hiddenRoom, qPrintable(QStringLiteral("gained %1 of %2").arg(gained).arg(hiddenRoom)));
        // Resizing keeps the search panel fixed and moves the difference into the box.
        const int wideBox = noButtons.widget<QComboBox>("CBURL")->width();
        noButtons.main->resize(800, 500);
        QTRY_COMPARE(noButtons.main->width(), 800);
        QTRY_COMPARE(noButtons.widget<QComboBox>("CBURL")->width(), wideBox - 200);
        QCOMPARE(noButtons.widget<QWidget>("PanelSearch")->width(), 176);
    }

    void statusPanels()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\n");
        app.main->showAsConfigured();
        QCOMPARE(app.status()->panel(0)->width(), 400);
        QCOMPARE(app.status()->panel(1)->width(), 80);
        QCOMPARE(app.status()->panel(2)->width(), 60);
        QVERIFY(app.status()->panel(3)->width() >= 60);
    }

    void boundsAreWrittenOnEveryResizeAfterStartup()
    {
        AppFixture app("[RunData]\r\nWindowMax=0\r\n");
        app.main->showAsConfigured();
        app.main->resize(700, 450);
        QCOMPARE(app.configValue(QStringLiteral("MainFormWidth")), QStringLiteral("<missing>"));
        app.main->finishStartup();
        app.main->move(33, 44);
        app.main->resize(900, 620);
        QTRY_COMPARE(app.configValue(QStringLiteral("MainFormWidth")), QStringLiteral("900"));
        QCOMPARE(app.configValue(QStringLiteral("MainFormHeight")), QStringLiteral("620"));
        QCOMPARE(app.configValue(QStringLiteral("MainFormLeft")), QString::number(app.main->x()));
        QCOMPARE(app.configValue(QStringLiteral("MainFormTop")), QString::number(app.main->y()));
        const QRect normal(app.main->pos(), app.main->size());
        auto stored = [&app] {
            return QRect(app.configValue(QStringLiteral("MainFormLeft")).toInt(), app.configValue(QStringLiteral("MainFormTop")).toInt(),
                         app.configValue(QStringLiteral("MainFormWidth")).toInt(), app.configValue(QStringLiteral("MainFormHeight")).toInt());
        };
        // Maximised, the window keeps the bounds it is restored to, for this run and the next.
        app.main->setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(app.main->width() != normal.width());
        QCOMPARE(stored(), normal);
        app.main->setWindowState(Qt::WindowNoState);
        QTRY_COMPARE(app.main->size(), normal.size());
        QCOMPARE(stored(), normal);
        // A move alone is kept too.
        app.main->move(normal.x() + 40, normal.y() + 30);
        QTRY_COMPARE(stored(), QRect(app.main->pos(), normal.size()));
    }

    void maximiseAndRestoreAreRecorded()
    {
        AppFixture app;
        app.main->showAsConfigured();
        QCOMPARE(app.configValue(QStringLiteral("WindowMax")), QStringLiteral("<missing>"));
        app.main->finishStartup();
        app.main->setWindowState(Qt::WindowNoState);
        QCOMPARE(app.configValue(QStringLiteral("WindowMax")), QStringLiteral("0"));
        app.main->setWindowState(Qt::WindowMaximized);
        QCOMPARE(app.configValue(QStringLiteral("WindowMax")), QStringLiteral("1"));
        // Minimising and coming back from the task bar to the maximised window write nothing.
        app.program->config().writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("x"));
        app.main->setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
        app.main->setWindowState(Qt::WindowMaximized);
        QCOMPARE(app.configValue(QStringLiteral("WindowMax")), QStringLiteral("x"));
    }

    void minimisingStopsTheClockAndSetsTheWindowState()
    {
        AppFixture app;
        app.main->showAsConfigured();
        QVERIFY(app.clock()->clockRunning());
        app.main->setWindowState(Qt::WindowMinimized);
        QCOMPARE(app.main->windowStateValue(), int(TQORMainForm::StateMinimized));
        QVERIFY(!app.clock()->clockRunning());
        app.main->setWindowState(Qt::WindowNoState);
        QCOMPARE(app.main->windowStateValue(), int(TQORMainForm::StateRestored));
        QVERIFY(app.clock()->clockRunning());
        app.main->hide();
        QVERIFY(!app.clock()->clockRunning());
    }

    void closingWithoutPagesDeletesTheOpenPageLists()
    {
        AppFixture app;
        writeFile(app.path("Data/OpenURLList.lst"), "a#http://a/\r\n");
        writeFile(app.path("Data/OpenURLList2.lst"), "a#http://a/\r\n");
        app.main->show();
        app.main->close();
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
        QVERIFY(!app.exists("Data/OpenURLList.lst"));
        QVERIFY(!app.exists("Data/OpenURLList2.lst"));
        QVERIFY(app.exists("Data/Url.lst"));
        QCOMPARE(app.bytes("Data/Url.lst"), QByteArray());
        QVERIFY(app.exists("Data/SearchHistory.lst"));
    }

    void closingWritesHistoriesAndOpenPagesInOrder()
    {
        AppFixture app;
        app.openPage(QStringLiteral("b.example"), QStringLiteral("B"));
        app.openPage(QStringLiteral("a.example"), QStringLiteral("A"));
        app.searchBar()->searchText(QStringLiteral("第一"));
        app.searchBar()->searchText(QStringLiteral("second"));
        app.program->config().writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("0"));
        app.main->close();
        QCOMPARE(app.lines("Data/Url.lst").mid(0, 2), (QStringList{"http://b.example", "http://a.example"}));
        QCOMPARE(app.lines("Data/SearchHistory.lst"), (QStringList{"第一", "second"}));
        QCOMPARE(app.lines("Data/OpenURLList2.lst"), (QStringList{"B#http://b.example", "A#http://a.example"}));
        QCOMPARE(app.configValue(QStringLiteral("TrueClose")), QStringLiteral("1"));
    }

    void forwardedAddresses()
    {
        AppFixture app;
        app.main->show();
        app.program->forwarding()->handle(QStringLiteral("abc"));
        app.program->forwarding()->handle(QStringLiteral("   "));
        QCOMPARE(app.pages->count(), 0);

        app.program->forwarding()->handle(QStringLiteral("/home/u/page.HTML"));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("file:///home/u/page.HTML"));
        app.active()->commitNavigation();

        app.program->forwarding()->handle(QStringLiteral("WWW.Example.COM"));
        QCOMPARE(app.pages->count(), 2);
        app.active()->commitNavigation();
        // The same address again, even with blanks around it, opens nothing more...
        app.program->forwarding()->handle(QStringLiteral(" WWW.Example.COM "));
        QCOMPARE(app.pages->count(), 2);
        // ...until a page is closed.
        app.item("NCloseCurrent")->trigger();
        QCOMPARE(app.pages->count(), 1);
        app.program->forwarding()->handle(QStringLiteral("WWW.Example.COM"));
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://WWW.Example.COM"));
        app.active()->commitNavigation();
        // Carrying the bring-up message's characters does not make an address that message.
        app.program->forwarding()->handle(QStringLiteral("http://q.example/?s=0***0"));
        QCOMPARE(app.pages->count(), 3);
    }

    void forwardedAddressesInABurstEachOpenAPage()
    {
        AppFixture app;
        app.engine.playsNavigations = true;
        QStringList sent;
        for (int i = 0; i < 20; ++i) {
            sent << QStringLiteral("http://127.0.0.1:8000/burst%1.html").arg(i);
            app.program->forwarding()->handle(sent.last());
        }
        QCOMPARE(app.pages->count(), 20);
        QCoreApplication::processEvents();
        for (int i = 0; i < 20; ++i)
            QCOMPARE(app.browser(i)->LocationURL(), sent.at(i));
    }

    void aLongForwardedAddressOpensWhole()
    {
        AppFixture app;
        // Longer than an atom's 255 characters and than a line edit's 32767.
        const QString address = QStringLiteral("http://long.example/?q=") + QString(40000, QLatin1Char('q'));
        app.program->forwarding()->handle(address);
        QCOMPARE(app.pages->count(), 1);
        QVERIFY(app.active()->pendingAddress() == address);
    }

    void runningAsRootSaysTheSandboxIsOff()
    {
        AppFixture app;
        const QList<QWidget *> bars = app.main->findChildren<QWidget *>(QStringLiteral("RootNotice"));
        QCOMPARE(bars.size(), ::geteuid() == 0 ? 1 : 0);
        if (bars.isEmpty())
            return;
        app.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        QVERIFY(bars[0]->isVisible());
        // Under the tool bar, above the pages.
        QVERIFY(bars[0]->mapTo(app.main, QPoint(0, 0)).y() < app.widget<QTabWidget>("PageControl")->mapTo(app.main, QPoint(0, 0)).y());
        const QLabel *text = bars[0]->findChild<QLabel *>();
        QCOMPARE(text->text(), QStringLiteral("以 root 身份运行：网页沙箱已关闭"));
        QCOMPARE(text->textFormat(), Qt::PlainText);
        QPointer<QWidget> bar = bars[0];
        bar->findChild<QToolButton *>(QStringLiteral("RootNoticeDismiss"))->click();
        QTRY_VERIFY(!bar);
    }

    void aClosedWindowOpensNothingMore()
    {
        AppFixture app;
        app.main->show();
        app.main->close();
        app.program->forwarding()->handle(QStringLiteral("http://late.example/"));
        QCOMPARE(app.pages->count(), 0);
    }

    void bringUpMessageRestoresAMinimisedWindow()
    {
        AppFixture app;
        app.main->show();
        app.main->setWindowState(Qt::WindowMinimized);
        app.program->forwarding()->handle(QStringLiteral("0***0"));
        QVERIFY(!(app.main->windowState() & Qt::WindowMinimized));
        QCOMPARE(app.main->windowStateValue(), int(TQORMainForm::StateBroughtUp));
        QCOMPARE(app.pages->count(), 0);
        app.main->hide();
        app.program->forwarding()->handle(QStringLiteral("0***0"));
        QVERIFY(app.main->isVisible());
    }

    void droppedText()
    {
        AppFixture app;
        drop(app.main, QStringLiteral("www.a.b"));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://www.a.b"));
        app.active()->commitNavigation();
        drop(app.main, QStringLiteral("中文"));
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.searchBar()->history(), QStringList{QStringLiteral("中文")});
        drop(app.main, QStringLiteral("word"));
        QCOMPARE(app.searchBar()->history(), (QStringList{QStringLiteral("中文"), QStringLiteral("word")}));
    }

    void aboutBox()
    {
        AppFixture app;
        app.engine.reportedVersions = debianEngine();
        QString title;
        int width = 0;
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            width = box->width();
            for (QLabel *label : box->findChildren<QLabel *>())
                texts << label->text();
            app.main->closeSubsidiaryWindows();
        });
        app.item("NAbout")->trigger();
        QCOMPARE(title, QStringLiteral("sablix 浏览器"));
        QVERIFY(texts.contains(QStringLiteral("版本:1.3.2")));
        // What it runs on, as the engine reports it.
        QVERIFY(texts.contains(QStringLiteral("sablix 1.3.2\nQt %1\nQt WebEngine 6.4.2\nChromium 102.0.5005.177\n"
                                              "Chromium 安全补丁 108.0.5359.94（约 2022-11）")
                                   .arg(QLatin1String(qVersion()))));
        // Wide enough that a title bar shows the caption beside its buttons, not "s…".
        QFont bold = QApplication::font();
        bold.setBold(true);
        QVERIFY2(width >= QFontMetrics(bold).horizontalAdvance(title) + 150, qPrintable(QString::number(width)));
    }

    // Chromium's majors come four weeks apart, 108 in late November 2022; the engine is
    // outdated once its security fixes are older than the limit.
    void engineAgeIsEstimatedFromTheChromiumMajor()
    {
        QCOMPARE(EngineAge::estimatedReleaseDate(108), QDate(2022, 11, 29));
        QCOMPARE(EngineAge::estimatedReleaseDate(121), QDate(2023, 11, 28));
        EngineVersions engine = debianEngine();
        const QDate patched(2022, 11, 29);
        QVERIFY(!EngineAge::isOutdated(engine, patched.addDays(EngineAge::kLimitDays)));
        QVERIFY(EngineAge::isOutdated(engine, patched.addDays(EngineAge::kLimitDays + 1)));
        // Without a patch level its Chromium's major counts; without either, nothing is said.
        engine.securityPatch.clear();
        QCOMPARE(EngineAge::patchDate(engine), EngineAge::estimatedReleaseDate(102));
        QVERIFY(!EngineAge::isOutdated({}, QDate(2030, 1, 1)));
        qputenv("SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", "100000");
        QVERIFY(!EngineAge::isOutdated(engine, QDate(2030, 1, 1)));
        qputenv("SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", QByteArray());
    }

    // Switches that bring code into the engine never reach it, whether the mode is on or
    // off; with it on, ours come last and the user's JavaScript flags go with ours.
    void switchesThatLoadCodeAreDropped()
    {
        const QStringList user{QStringLiteral("--register-pepper-plugins=/tmp/p.so;application/x-p"),
                               QStringLiteral("--lang=zh-CN"), QStringLiteral("--ppapi-flash-path=/tmp/f.so"),
                               QStringLiteral("-load-extension=/tmp/e"), QStringLiteral("--js-flags=--expose-gc")};
        QStringList dropped;
        QCOMPARE(EngineSwitches::compose(user, false, &dropped),
                 QStringList({QStringLiteral("--lang=zh-CN"), QStringLiteral("--js-flags=--expose-gc")}));
        QCOMPARE(dropped, QStringList({user[0], user[2], user[3]}));
        QCOMPARE(EngineSwitches::compose(user, true, nullptr),
                 QStringList({QStringLiteral("--lang=zh-CN"), QStringLiteral("--js-flags=--expose-gc --jitless"),
                              QStringLiteral("--site-per-process"), QStringLiteral("--disable-webgl")}));
        // Nothing after a bare "--" would be a switch, ours included.
        dropped.clear();
        QCOMPARE(EngineSwitches::compose({QStringLiteral("--"), QStringLiteral("--x")}, true, &dropped).last(),
                 QStringLiteral("--disable-webgl"));
        QCOMPARE(dropped.size(), 2);

        // The variable, read and written as the engine splits it, with a warning for each
        // switch left out.
        QCOMPARE(EngineSwitches::split(QStringLiteral(" --a  \"--js-flags=--x --y\" --b")),
                 QStringList({QStringLiteral("--a"), QStringLiteral("--js-flags=--x --y"), QStringLiteral("--b")}));
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--register-pepper-plugins=/tmp/p.so --js-flags=--expose-gc");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("without --register-pepper-plugins=/tmp/p.so")));
        EngineSwitches::apply(true);
        QCOMPARE(EngineSwitches::split(qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")),
                 QStringList({QStringLiteral("--js-flags=--expose-gc --jitless"), QStringLiteral("--site-per-process"),
                              QStringLiteral("--disable-webgl")}));
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray());
    }

    // Unless the user chose, the mode is on while the engine is outdated; it is decided when
    // the engine's library comes in, before the engine starts.
    void enhancedSecurityFollowsTheEngineAgeUnlessChosen()
    {
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        {
            AppFixture app;
            app.engine.reportedVersions = debianEngine();
            QVERIFY(!app.engine.enhancedSecurity);
            app.engine.warmUp();
            QCOMPARE(app.engine.enhancedSecurity, std::optional<bool>(true));
            QVERIFY(app.item("NEnhancedSecurity")->isChecked());
            auto *bar = app.main->findChild<QWidget *>(QStringLiteral("EngineNotice"));
            QVERIFY(bar);
            QVERIFY(bar->findChild<QLabel *>()->text()
                    == QStringLiteral("网页引擎的安全更新停在 2022-11（Chromium 108）。已开启增强安全模式。"));
            QVERIFY(app.program->config().readString(kRunData, QStringLiteral("EngineNoticeShown"), {}) == today);
            // Its link opens the setting.
            bar->findChild<QToolButton *>(QStringLiteral("EngineNoticeSetting"))->click();
            auto *settings = app.main->menuBar()->findChild<QMenu *>(QStringLiteral("NSet"));
            QTRY_VERIFY(settings->isVisible());
            QCOMPARE(settings->activeAction(), app.item("NEnhancedSecurity"));
            settings->close();
        }
        {
            // Turned off by the user: the notice says so.
            AppFixture app("[RunData]\r\nEnhancedSecurity=0\r\n");
            app.engine.reportedVersions = debianEngine();
            app.engine.warmUp();
            QCOMPARE(app.engine.enhancedSecurity, std::optional<bool>(false));
            QVERIFY(!app.item("NEnhancedSecurity")->isChecked());
            QVERIFY(app.main->findChild<QWidget *>(QStringLiteral("EngineNotice"))->findChild<QLabel *>()->text()
                        .endsWith(QStringLiteral("增强安全模式已关闭。")));
        }
        {
            // A current engine: off, and nothing to say.
            qputenv("SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", "100000");
            AppFixture app;
            app.engine.reportedVersions = debianEngine();
            // The settings menu asks before the engine has come in by itself.
            emit app.main->menuBar()->findChild<QMenu *>(QStringLiteral("NSet"))->aboutToShow();
            qputenv("SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", QByteArray());
            QCOMPARE(app.engine.enhancedSecurity, std::optional<bool>(false));
            QVERIFY(!app.main->findChild<QWidget *>(QStringLiteral("EngineNotice")));
        }
    }

    void engineNoticeShowsOnceAWeek()
    {
        const QDate today = QDate::currentDate();
        auto shownAfter = [&](int daysAgo) {
            AppFixture app("[RunData]\r\nEngineNoticeShown=" + today.addDays(-daysAgo).toString(Qt::ISODate).toLatin1() + "\r\n");
            app.engine.reportedVersions = debianEngine();
            app.engine.warmUp();
            return app.main->findChild<QWidget *>(QStringLiteral("EngineNotice")) != nullptr;
        };
        QVERIFY(!shownAfter(0));
        QVERIFY(!shownAfter(EngineNotice::kEveryDays - 1));
        QVERIFY(shownAfter(EngineNotice::kEveryDays));
        // A date ahead (a clock put back) does not silence it.
        QVERIFY(shownAfter(-30));
    }

    // The switches are the whole engine's: a change is kept and asks to start again.
    void changingEnhancedSecurityAsksToRestart()
    {
        AppFixture app;
        app.engine.reportedVersions = debianEngine();
        app.engine.warmUp();
        QSignalSpy closed(app.main, &TQORMainForm::closed);
        auto answer = [](QMessageBox::StandardButton button) {
            whenDialogShows([button](QDialog *dialog) {
                auto *box = qobject_cast<QMessageBox *>(dialog);
                QVERIFY(box && box->text().contains(QStringLiteral("重新启动")));
                box->button(button)->click();
            });
        };
        answer(QMessageBox::No);
        app.item("NEnhancedSecurity")->trigger();
        QCOMPARE(app.program->config().readString(kRunData, QStringLiteral("EnhancedSecurity"), {}), QStringLiteral("0"));
        QVERIFY(!app.program->restartRequested());
        QCOMPARE(closed.count(), 0);
        // The new start opens the pages again, the private ones excepted.
        app.openPage(QStringLiteral("http://a.test/"), QStringLiteral("A"));
        app.item("NAddNewPrivate")->trigger();
        QCOMPARE(app.pages->count(), 2);
        app.pages->activePage()->browser()->Navigate(QStringLiteral("http://private.test/"));
        answer(QMessageBox::Yes);
        app.item("NEnhancedSecurity")->trigger();
        QCOMPARE(app.program->restartAddresses(), QStringList{QStringLiteral("http://a.test/")});
        QCOMPARE(app.program->config().readString(kRunData, QStringLiteral("EnhancedSecurity"), {}), QStringLiteral("1"));
        QVERIFY(app.program->restartRequested());
        QCOMPARE(closed.count(), 1);
    }

    // Spelling (on unless turned off), dark pages and HTTPS first (off unless chosen) are
    // kept in RunData and reach the engine and the address bar; dark pages are the engine's
    // switch: once it runs, the change asks to start again.
    void toolSettingsAreKeptAndReachTheirParts()
    {
        {
            AppFixture app;
            QVERIFY(app.item("NSpellCheck")->isChecked());
            QCOMPARE(app.engine.spellChecking, std::optional<bool>(true));
            QVERIFY(!app.item("NDarkPages")->isChecked());
            QCOMPARE(app.engine.darkPages, std::optional<bool>(false));
            QVERIFY(!app.item("NHttpsFirst")->isChecked());
            app.item("NSpellCheck")->trigger();
            QCOMPARE(app.engine.spellChecking, std::optional<bool>(false));
            // Before the engine starts, the switch goes with it: nothing to ask.
            app.item("NDarkPages")->trigger();
            QCOMPARE(app.engine.darkPages, std::optional<bool>(true));
            app.item("NHttpsFirst")->trigger();
            // A name typed without a scheme goes over https first; one with its scheme as it is.
            app.setAddressText(QStringLiteral("abc.com"));
            app.addressBar()->Go();
            QCOMPARE(app.active()->calls.last(), QStringLiteral("NavigateSecureFirst https://abc.com http://abc.com"));
            QCOMPARE(app.addressText(), QStringLiteral("https://abc.com"));
            // Refused: over http, and the user is told.
            app.active()->refuseSecure();
            QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://abc.com"));
            QCOMPARE(app.pages->activePage()->address(), QStringLiteral("http://abc.com"));
            QCOMPARE(app.statusText(0), QStringLiteral("此网站不支持安全连接"));
            app.active()->commitNavigation();
            app.setAddressText(QStringLiteral("http://c.d"));
            app.addressBar()->Go();
            QCOMPARE(app.active()->calls.last(), QStringLiteral("Navigate http://c.d"));
            QCOMPARE(app.configValue(QStringLiteral("HttpsFirst")), QStringLiteral("1"));
            QCOMPARE(app.configValue(QStringLiteral("SpellCheck")), QStringLiteral("0"));
            QCOMPARE(app.configValue(QStringLiteral("DarkPages")), QStringLiteral("1"));
        }
        AppFixture app("[RunData]\r\nSpellCheck=0\r\nDarkPages=1\r\nHttpsFirst=1\r\n");
        QVERIFY(!app.item("NSpellCheck")->isChecked());
        QCOMPARE(app.engine.spellChecking, std::optional<bool>(false));
        QVERIFY(app.item("NDarkPages")->isChecked());
        QCOMPARE(app.engine.darkPages, std::optional<bool>(true));
        QVERIFY(app.item("NHttpsFirst")->isChecked());
        app.engine.warmUp();
        whenDialogShows([](QDialog *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(box && box->text().startsWith(QStringLiteral("深色网页在 sablix 重新启动后生效")));
            box->button(QMessageBox::No)->click();
        });
        app.item("NDarkPages")->trigger();
        QCOMPARE(app.program->config().readString(kRunData, QStringLiteral("DarkPages"), {}), QStringLiteral("0"));
        QVERIFY(!app.program->restartRequested());
    }

    // A dark desktop darkens the program's own windows (the palette Qt chose was light).
    void aDarkDesktopGivesTheWindowsADarkPalette()
    {
        const QPalette before = QApplication::palette();
        qputenv("GTK_THEME", "Adwaita:dark");
        QVERIFY(DesktopPalette::desktopPrefersDark());
        DesktopPalette::follow(*qApp);
        const QPalette dark = QApplication::palette();
        qputenv("GTK_THEME", "Adwaita");
        QVERIFY(!DesktopPalette::desktopPrefersDark());
        qputenv("GTK_THEME", QByteArray());
        QApplication::setPalette(before);
        QVERIFY(dark.color(QPalette::Window).lightness() < 80);
        QVERIFY(dark.color(QPalette::WindowText).lightness() > 200);
        QVERIFY(before.color(QPalette::Window).lightness() > 150);
    }

    // A 1280x800 screen, less a title bar and a panel, holds every dialog whole; a label that
    // shows an Alt key takes the keyboard to its field.
    void dialogsFitASmallScreenAndTheirLabelsHaveFields()
    {
        AppFixture app;
        app.openPage(QStringLiteral("http://words.test/"), QStringLiteral("Words"));
        const auto check = [](QWidget *dialog) {
            QVERIFY2(dialog->width() <= 1280 && dialog->height() <= 720,
                     qPrintable(QStringLiteral("%1: %2x%3").arg(dialog->objectName()).arg(dialog->width()).arg(dialog->height())));
            for (QLabel *label : dialog->findChildren<QLabel *>())
                if (label->text().contains(QRegularExpression(QStringLiteral("&[^&]"))))
                    QVERIFY2(label->buddy(), qPrintable(label->text()));
        };
        app.item("NInternetOption")->trigger();
        auto *options = app.main->findChild<QDialog *>(QStringLiteral("InternetOptionsDialog"));
        QVERIFY(options);
        check(options);
        // What was at the bottom, under the rest, is still there.
        QVERIFY(options->findChild<QSpinBox *>(QStringLiteral("HistoryDays")));
        options->close();
        app.item("NFind")->trigger();
        auto *find = app.main->findChild<QDialog *>(QStringLiteral("FindDialog"));
        QVERIFY(find);
        check(find);
        find->close();
        // 密码管理 lists what the keyring holds: here a session bus that is not there, never the desktop's.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/sablix-test-bus");
        app.item("NPasswords")->trigger();
        auto *passwords = app.main->findChild<QDialog *>(QStringLiteral("PasswordsWindow"));
        QVERIFY(passwords);
        check(passwords);
        passwords->close();
        bool seen = false;
        whenDialogShows([&](QDialog *dialog) {
            seen = true;
            check(dialog);
        });
        app.item("NAddFavorite")->trigger();
        QVERIFY(seen);
    }

    void testActionReportsAMissingDocument()
    {
        AppFixture app;
        app.tabs()->NAddNewBlankClick();
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->accept();
            }
        });
        app.main->findChild<QAction *>(QStringLiteral("ActionTest"))->trigger();
        QCOMPARE(shown, QStringLiteral("Document is nil."));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"

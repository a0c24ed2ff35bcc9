#include "core/listfile.h"
#include "appfixture.h"
#include "app/internetoptionsdialog.h"
#include "engine/sitepermissions.h"
#include "../history/historytesting.h"
#include "history/history.h"
#include "navigation/searchbar.h"
#include "tabs/pagetabs.h"
#include "statusbar/setform.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
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
            {"NInternetOption", "Internet选项", ""}, {"NTools", "工具(&T)", ""},
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
        QTest::keyClick(app.main->CBURL->lineEdit(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(app.pages->count(), 2);
        // The window's keys win over the address box's own editing keys...
        QSignalSpy closed(app.main, &TQORMainForm::closed);
        app.main->CBURL->setFocus();
        app.setAddressText(QStringLiteral("abc"));
        app.main->CBURL->lineEdit()->setCursorPosition(0);
        QTest::keyClick(app.main->CBURL->lineEdit(), Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
        // ...except the common ones: Ctrl+A selects the box's text.
        AppFixture other;
        other.main->show();
        QVERIFY(QTest::qWaitForWindowActive(other.main));
        other.setAddressText(QStringLiteral("select me"));
        other.main->CBURL->setFocus();
        QTest::keyClick(other.main->CBURL->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(other.main->CBURL->lineEdit()->selectedText(), QStringLiteral("select me"));
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
        QCOMPARE(app.main->LabelAddress->text(), QStringLiteral("地址"));
        QCOMPARE(app.main->CBURL->toolTip(), QStringLiteral("地址栏"));
        QCOMPARE(app.main->CBURL->maxVisibleItems(), 8);
        QCOMPARE(app.main->BBGO->toolTip(), QStringLiteral("转到"));
        QCOMPARE(app.main->SBSearch->toolTip(), QStringLiteral("搜索"));
        QCOMPARE(app.main->SBSearchOn->toolTip(), QStringLiteral("搜索引擎选择"));
        QCOMPARE(app.main->SBAddNew->toolTip(), QStringLiteral("新建空白页面"));
        QCOMPARE(app.main->SBCloseCurrentPage->toolTip(), QStringLiteral("关闭当前页"));
        for (const char *name : {"ToolBarAddress", "PanelAddress", "PanelPN", "SBP", "SBN", "PanelAddress_", "LabelAddress",
                                 "CBURL", "BBGO", "PanelRS", "PanelSearch", "ComboBoxSearch", "SBSearch", "SBSearchOn",
                                 "PanelExtended2", "SBAddNew", "SBCloseCurrentPage", "PanelMainClient", "PageControl",
                                 "ListBoxNewly", "SBL1", "SBL2", "SBH1", "SBH2", "StatusBar", "PopupMenuPcl",
                                 "PopupMenuSearch", "PopupMenuNewly", "MainMenu1"})
            QVERIFY2(app.main->findChild<QObject *>(QLatin1String(name)), name);
        QVERIFY(!app.main->ListBoxNewly->isVisibleTo(app.main));
        QCOMPARE(app.main->SBP->icon().cacheKey(), app.main->SBH1->icon().cacheKey());
        // Every picture of the tool bar is there, at the sizes it is drawn.
        for (QToolButton *button : {app.main->SBP, app.main->SBN, app.main->BBGO, app.main->SBRefresh, app.main->SBStop,
                                    app.main->SBSearch, app.main->SBAddNew, app.main->SBCloseCurrentPage, app.main->SBL1,
                                    app.main->SBL2})
            for (int size : {16, 32})
                QVERIFY2(button->icon().pixmap(size, size).size() == QSize(size, size), qPrintable(button->objectName()));
    }

    void toolBarLayoutGivesTheAddressBoxTheRest()
    {
        AppFixture full("[RunData]\r\nWindowMax=0\r\nMainFormWidth=1000\r\n");
        full.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(full.main));
        QCOMPARE(full.main->PanelSearch->width(), 176);
        QCOMPARE(full.main->PanelExtended2->width(), 64);
        const int row = full.main->PanelAddress->parentWidget()->width();
        QVERIFY(full.main->PanelAddress->width() >= row - 176 - 64 - 6);
        const int fullBox = full.main->CBURL->width();

        AppFixture noButtons("[RunData]\r\nWindowMax=0\r\nMainFormWidth=1000\r\nPanelExtended2=0\r\nPanelExtended3=0\r\n");
        noButtons.main->showAsConfigured();
        QVERIFY(QTest::qWaitForWindowExposed(noButtons.main));
        const int gained = noButtons.main->CBURL->width() - fullBox;
        const int hiddenRoom = 64 + full.main->PanelPN->width() + full.main->PanelRS->width();
        QVERIFY2(gained >= hiddenRoom, qPrintable(QStringLiteral("gained %1 of %2").arg(gained).arg(hiddenRoom)));
        // Resizing keeps the search panel fixed and moves the difference into the box.
        const int wideBox = noButtons.main->CBURL->width();
        noButtons.main->resize(800, 500);
        QTRY_COMPARE(noButtons.main->width(), 800);
        QTRY_COMPARE(noButtons.main->CBURL->width(), wideBox - 200);
        QCOMPARE(noButtons.main->PanelSearch->width(), 176);
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
        app.main->handleInstanceMessage(QStringLiteral("abc"));
        app.main->handleInstanceMessage(QStringLiteral("   "));
        QCOMPARE(app.pages->count(), 0);

        app.main->handleInstanceMessage(QStringLiteral("/home/u/page.HTML"));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("file:///home/u/page.HTML"));
        app.active()->commitNavigation();

        app.main->handleInstanceMessage(QStringLiteral("WWW.Example.COM"));
        QCOMPARE(app.pages->count(), 2);
        app.active()->commitNavigation();
        // The same address again, even with blanks around it, opens nothing more...
        app.main->handleInstanceMessage(QStringLiteral(" WWW.Example.COM "));
        QCOMPARE(app.pages->count(), 2);
        // ...until a page is closed.
        app.item("NCloseCurrent")->trigger();
        QCOMPARE(app.pages->count(), 1);
        app.main->handleInstanceMessage(QStringLiteral("WWW.Example.COM"));
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://WWW.Example.COM"));
    }

    void forwardedAddressesInABurstEachOpenAPage()
    {
        AppFixture app;
        app.engine.playsNavigations = true;
        QStringList sent;
        for (int i = 0; i < 20; ++i) {
            sent << QStringLiteral("http://127.0.0.1:8000/burst%1.html").arg(i);
            app.main->handleInstanceMessage(sent.last());
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
        app.main->handleInstanceMessage(address);
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
        QVERIFY(bars[0]->mapTo(app.main, QPoint(0, 0)).y() < app.main->PageControl->mapTo(app.main, QPoint(0, 0)).y());
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
        app.main->handleInstanceMessage(QStringLiteral("http://late.example/"));
        QCOMPARE(app.pages->count(), 0);
    }

    void bringUpMessageRestoresAMinimisedWindow()
    {
        AppFixture app;
        app.main->show();
        app.main->setWindowState(Qt::WindowMinimized);
        app.main->handleInstanceMessage(QStringLiteral("0***0"));
        QVERIFY(!(app.main->windowState() & Qt::WindowMinimized));
        QCOMPARE(app.main->windowStateValue(), int(TQORMainForm::StateBroughtUp));
        QCOMPARE(app.pages->count(), 0);
        app.main->hide();
        app.main->handleInstanceMessage(QStringLiteral("0***0"));
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
        QString title;
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(box);
            title = box->windowTitle();
            for (QLabel *label : box->findChildren<QLabel *>())
                texts << label->text();
            app.main->closeSubsidiaryWindows();
        });
        app.item("NAbout")->trigger();
        QCOMPARE(title, QStringLiteral("sablix 浏览器"));
        QVERIFY(texts.contains(QStringLiteral("版本:1.3.2")));
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

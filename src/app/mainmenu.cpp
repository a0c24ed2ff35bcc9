// The main menu, the tab and search popups, and ActionList1, the actions that carry the
// keyboard shortcuts of the main commands.

#include "mainform.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace {

struct MenuBuilder
{
    QMenu *menu;

    QAction *item(const char *name, const QString &caption, const QKeySequence &keys = {}) const
    {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!keys.isEmpty()) {
            // The menu shows the key; ActionList1 carries it for the whole window, so the
            // item's own shortcut is bound to the menu alone and the two never clash.
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        return action;
    }
    QAction *check(const char *name, const QString &caption, bool checked = false) const
    {
        QAction *action = item(name, caption);
        action->setCheckable(true);
        action->setChecked(checked);
        return action;
    }
    MenuBuilder sub(const char *name, const QString &caption) const
    {
        QMenu *child = menu->addMenu(caption);
        child->setObjectName(QLatin1String(name));
        child->menuAction()->setObjectName(QLatin1String(name));
        return {child};
    }
    void separator(const char *name = nullptr) const
    {
        QAction *action = menu->addSeparator();
        if (name)
            action->setObjectName(QLatin1String(name));
    }
};

MenuBuilder topMenu(QMenuBar *bar, const char *name, const QString &caption)
{
    QMenu *menu = bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return {menu};
}

} // namespace

QAction *TQORMainForm::menuItem(const char *name) const
{
    return findChild<QAction *>(QLatin1String(name));
}

void TQORMainForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    const MenuBuilder file = topMenu(bar, "NFile", QStringLiteral("文件(&F)"));
    const MenuBuilder addNew = file.sub("NAddNew", QStringLiteral("新建..."));
    addNew.item("NAddNewBlank", QStringLiteral("空白页"), QKeySequence(QStringLiteral("Ctrl+B")));
    addNew.item("NAddNewHomePage", QStringLiteral("主页"), QKeySequence(QStringLiteral("Ctrl+H")));
    addNew.item("NCopyCurrentPage", QStringLiteral("复制当前页"), QKeySequence(QStringLiteral("Ctrl+Alt+N")));
    file.item("NOpenFile", QStringLiteral("打开文件(&O)"));
    file.item("NSaveAs", QStringLiteral("另存为(&A)..."), QKeySequence(QStringLiteral("Ctrl+S")));
    file.separator();
    file.item("NPageSetup", QStringLiteral("页面设置(&U)"));
    file.item("NPrint", QStringLiteral("打印"), QKeySequence(QStringLiteral("Ctrl+P")));
    file.item("NPrintView", QStringLiteral("打印预览(&V)"));
    file.separator();
    const MenuBuilder send = file.sub("NSend", QStringLiteral("发送(&E)"));
    send.item("NNewMail", QStringLiteral("电子邮件页面(&P)"));
    send.item("NSendPage", QStringLiteral("电子邮件链接(&L)"));
    send.item("NSendLink", QStringLiteral("桌面快捷方式(&S)"));
    file.item("NImport", QStringLiteral("导入和导出(&I)"));
    file.separator();
    file.item("NCloseCurrent", QStringLiteral("关闭当前窗口"), QKeySequence(QStringLiteral("Ctrl+W")));
    file.item("NAllClose", QStringLiteral("全部关闭窗口"), QKeySequence(QStringLiteral("Ctrl+Alt+W")));
    file.separator();
    file.item("NAttribute", QStringLiteral("属性(&R)"));
    file.check("NOffline", QStringLiteral("脱机工作"));
    file.separator();
    file.item("NExit", QStringLiteral("退出(&E) "), QKeySequence(QStringLiteral("Ctrl+E")));

    const MenuBuilder edit = topMenu(bar, "NEdit", QStringLiteral("编辑(&E)"));
    edit.item("NOpenNewlyOne", QStringLiteral("撤消最后关闭"), QKeySequence(QStringLiteral("Ctrl+J")));
    edit.separator();
    edit.item("NCut", QStringLiteral("剪切(&T)"));
    edit.item("NCopy", QStringLiteral("复制(&C)"));
    edit.item("NPaste", QStringLiteral("粘贴(&P)"));
    edit.separator();
    edit.item("NSelectAll", QStringLiteral("全选(&A)"), QKeySequence(QStringLiteral("Ctrl+A")));
    edit.item("NFind", QStringLiteral("查找(在当前页)(&F)..."), QKeySequence(QStringLiteral("Ctrl+F")));
    edit.separator();
    edit.item("NEditSource", QStringLiteral("编辑..."));
    // Present for their keys only.
    edit.item("NAddressSetFocus", QStringLiteral("地址栏获焦点"), QKeySequence(QStringLiteral("F6")))->setVisible(false);
    edit.item("NDocmentSetFocus", QStringLiteral("文档获得焦点"), QKeySequence(QStringLiteral("F7")))->setVisible(false);
    edit.item("NCleanCurrentAd", QStringLiteral("CLEAN当前AD"), QKeySequence(QStringLiteral("F8")))->setVisible(false);

    const MenuBuilder view = topMenu(bar, "NView", QStringLiteral("查看(&V)"));
    const MenuBuilder fontSize = view.sub("NFontSize", QStringLiteral("文字大小(&X)"));
    auto *sizes = new QActionGroup(fontSize.menu);
    sizes->setObjectName(QStringLiteral("FontSizeGroup"));
    for (auto [name, caption] : {std::pair{"NLargest", "最大(&G)"}, std::pair{"NLarger", "较大(&L)"},
                                 std::pair{"NMiddle", "中(&M)"}, std::pair{"NSmall", "较小(&S)"},
                                 std::pair{"NSmallest", "最小(&A)"}})
        sizes->addAction(fontSize.check(name, QString::fromUtf8(caption)));
    const MenuBuilder zoom = view.sub("NPageView", QStringLiteral("网页缩放(&Z)"));
    for (auto name : {"N50", "N75", "N100", "N125", "N150", "N200"})
        zoom.item(name, QLatin1String(name + 1) + QLatin1Char('%'));
    view.separator();
    view.item("NStop", QStringLiteral("停止"), QKeySequence(QStringLiteral("Esc")));
    view.item("NRefresh", QStringLiteral("刷新"), QKeySequence(QStringLiteral("F5")));
    view.item("NAllStop", QStringLiteral("全部停止"));
    view.item("NAllRefresh", QStringLiteral("全部刷新"), QKeySequence(QStringLiteral("Shift+F5")));
    view.separator();
    view.item("NPreviousPage", QStringLiteral("前一页面"), QKeySequence(QStringLiteral("Ctrl+Q")));
    view.item("NNextPage", QStringLiteral("后一页面"), QKeySequence(QStringLiteral("Ctrl+M")));
    view.separator();
    view.item("NTOPageHome", QStringLiteral("到网页文档头"));
    view.item("NTOPageEnd", QStringLiteral("到网页文档尾"));
    view.separator();
    view.item("NSource", QStringLiteral("源文件(&C)"));

    const MenuBuilder favorites = topMenu(bar, "NFavorit", QStringLiteral("收藏(&A)"));
    favorites.item("NAddFavorite", QStringLiteral("添加到收藏夹(&F)"), QKeySequence(QStringLiteral("Ctrl+D")));
    favorites.item("NTrimFavorite", QStringLiteral("整理收藏夹(&O)..."));
    favorites.separator("N28");

    const MenuBuilder settings = topMenu(bar, "NSet", QStringLiteral("设置(&O)"));
    const MenuBuilder popup = settings.sub("NPopup", QStringLiteral("广告屏蔽"));
    popup.check("NStopPopup", QStringLiteral("启用弹出窗口过滤"));
    popup.check("NStopFloatAd", QStringLiteral("启用漂浮广告过滤"));
    popup.check("NStopFlashAd", QStringLiteral("启用FLASH过滤"));
    const MenuBuilder defaultBrowser = settings.sub("NSetDefBrowser", QStringLiteral("设置默认浏览器"));
    // Placeholders: the main window's creation sets the captions.
    defaultBrowser.item("NSetBrowserQOR", QStringLiteral("NSetBrowserQOR"));
    defaultBrowser.item("NSetBrowserIE", QStringLiteral("设置 IE 为默认浏览器"));
    settings.separator();
    settings.item("NInternetOption", QStringLiteral("Internet选项"));

    const MenuBuilder tools = topMenu(bar, "NTools", QStringLiteral("工具(&T)"));
    const MenuBuilder clean = tools.sub("NCleanHisttoryM", QStringLiteral("清除浏览记录"));
    clean.item("NCleanAddress", QStringLiteral("清除地址栏历史"));
    clean.item("NClearSearchHistory", QStringLiteral("清除搜索栏历史"));
    clean.separator("N3");
    clean.item("NCleanHistory", QStringLiteral("清除浏览历史"));
    clean.item("NCleanCache", QStringLiteral("清除缓存(Cache)"));
    clean.item("NCleanCookies", QStringLiteral("清除 Cookies"));
    clean.separator("N35");
    clean.item("NCleanTempDir", QStringLiteral("清空临时目录"));
    clean.item("NCleanRecent", QStringLiteral("清除最近浏览的文档 "));
    clean.separator("N34");
    clean.item("NCleanAll", QStringLiteral("全部清除"));

    const MenuBuilder help = topMenu(bar, "NHelp", QStringLiteral("帮助(&H)"));
    help.item("NHelpOnline", QStringLiteral("在线帮助"));
    help.item("NBrowserHomePage", QStringLiteral("NBrowserHomePage"));
    help.item("NBrowserBBS", QStringLiteral("NBrowserBBS"));
    help.separator();
    help.item("NAbout", QStringLiteral("关于"));

    const MenuBuilder tabPopup{PopupMenuPcl};
    tabPopup.item("PopupMenuCloseCurrent", QStringLiteral("关闭页面(&C)"));
    tabPopup.item("NRRefresh", QStringLiteral("刷新页面(&R)"));

    const MenuBuilder enginePopup{PopupMenuSearch};
    enginePopup.check("NBaidu", QStringLiteral("百度搜索"), true);
    enginePopup.check("NYahoo", QStringLiteral("Yahoo搜索"));

    // ActionList1: each action runs its menu item, wherever the window has the keyboard.
    const struct
    {
        const char *action;
        const char *key;
        const char *item;
    } shortcuts[] = {
        {"ActionNAddNewBlank", "Ctrl+B", "NAddNewBlank"},
        {"ActionNAddNewHomePage", "Ctrl+H", "NAddNewHomePage"},
        {"ActionNCopyCurrentPage", "Ctrl+Alt+N", "NCopyCurrentPage"},
        {"ActionNSaveAs", "Ctrl+S", "NSaveAs"},
        {"ActionNPrint", "Ctrl+P", "NPrint"},
        {"ActionNCloseCurrent", "Ctrl+W", "NCloseCurrent"},
        {"ActionNAllClose", "Ctrl+Alt+W", "NAllClose"},
        {"ActionNExit", "Ctrl+E", "NExit"},
        {"ActionNSelectAll", "Ctrl+A", "NSelectAll"},
        {"ActionNFind", "Ctrl+F", "NFind"},
        {"ActionNAddressSetFocus", "F6", "NAddressSetFocus"},
        {"ActionNRefresh", "F5", "NRefresh"},
        {"ActionNStop", "Esc", "NStop"},
        {"ActionNAllRefresh", "Shift+F5", "NAllRefresh"},
        {"ActionNPreviousPage", "Ctrl+Q", "NPreviousPage"},
        {"ActionNNextPage", "Ctrl+M", "NNextPage"},
        {"ActionNAddFavorite", "Ctrl+D", "NAddFavorite"},
        {"ActionOpenNewlyOne", "Ctrl+J", "NOpenNewlyOne"},
        {"ActionDocmentSetFocus", "F7", "NDocmentSetFocus"},
        {"ActionCleanCurrentAd", "F8", "NCleanCurrentAd"},
        {"ActionF1", "F1", nullptr},
        {"ActionF2", "F2", nullptr},
        {"ActionF3", "F3", nullptr},
        {"ActionF4", "F4", nullptr},
        {"ActionTest", "Shift+F10", nullptr},
    };
    for (const auto &entry : shortcuts) {
        auto *action = new QAction(this);
        action->setObjectName(QLatin1String(entry.action));
        action->setShortcut(QKeySequence(QLatin1String(entry.key)));
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        if (entry.item) {
            QAction *item = menuItem(entry.item);
            connect(action, &QAction::triggered, item, [item] { item->trigger(); });
        }
    }
    connect(findChild<QAction *>(QStringLiteral("ActionTest")), &QAction::triggered, this,
            &TQORMainForm::ActionTestExecute);
    connect(menuItem("NExit"), &QAction::triggered, this, &QWidget::close);
    connect(menuItem("NAbout"), &QAction::triggered, this, &TQORMainForm::NAboutClick);
}

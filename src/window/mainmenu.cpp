// The main menu and the tab and search popups, laid out over the command table.

#include "mainform.h"

#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace {

struct MenuBuilder
{
    QMenu *menu;
    const CommandSet &commands;

    QAction *item(Command id) const
    {
        QAction *action = commands[id];
        menu->addAction(action);
        return action;
    }
    MenuBuilder sub(const char *name, const QString &caption) const
    {
        QMenu *child = menu->addMenu(caption);
        child->setObjectName(QLatin1String(name));
        child->menuAction()->setObjectName(QLatin1String(name));
        return {child, commands};
    }
    void separator(const char *name = nullptr) const
    {
        QAction *action = menu->addSeparator();
        if (name)
            action->setObjectName(QLatin1String(name));
    }
};

} // namespace

void TQORMainForm::buildMenus()
{
    using C = Command;
    const CommandSet &commands = *m_commands;
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto top = [bar, &commands](const char *name, const QString &caption) {
        QMenu *menu = bar->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        return MenuBuilder{menu, commands};
    };

    const MenuBuilder file = top("NFile", QStringLiteral("文件(&F)"));
    const MenuBuilder addNew = file.sub("NAddNew", QStringLiteral("新建..."));
    for (C id : {C::NAddNewBlank, C::NAddNewHomePage, C::NCopyCurrentPage})
        addNew.item(id);
    file.item(C::NAddNewPrivate);
    file.item(C::NOpenFile);
    file.item(C::NSaveAs);
    file.separator();
    for (C id : {C::NPageSetup, C::NPrint, C::NPrintView})
        file.item(id);
    file.separator();
    const MenuBuilder send = file.sub("NSend", QStringLiteral("发送(&E)"));
    for (C id : {C::NNewMail, C::NSendPage, C::NSendLink})
        send.item(id);
    file.item(C::NImport);
    file.separator();
    file.item(C::NCloseCurrent);
    file.item(C::NAllClose);
    file.separator();
    file.item(C::NAttribute);
    file.item(C::NOffline);
    file.separator();
    file.item(C::NExit);

    const MenuBuilder edit = top("NEdit", QStringLiteral("编辑(&E)"));
    edit.item(C::NOpenNewlyOne);
    edit.separator();
    for (C id : {C::NCut, C::NCopy, C::NPaste})
        edit.item(id);
    edit.separator();
    edit.item(C::NSelectAll);
    edit.item(C::NFind);
    edit.separator();
    // The last three are hidden: present for their keys only.
    for (C id : {C::NEditSource, C::NAddressSetFocus, C::NDocmentSetFocus, C::NCleanCurrentAd})
        edit.item(id);

    const MenuBuilder view = top("NView", QStringLiteral("查看(&V)"));
    view.item(C::NFavoritesBar);
    view.separator();
    const MenuBuilder fontSize = view.sub("NFontSize", QStringLiteral("文字大小(&X)"));
    auto *sizes = new QActionGroup(fontSize.menu);
    sizes->setObjectName(QStringLiteral("FontSizeGroup"));
    for (C id : {C::NLargest, C::NLarger, C::NMiddle, C::NSmall, C::NSmallest})
        sizes->addAction(fontSize.item(id));
    const MenuBuilder zoom = view.sub("NPageView", QStringLiteral("网页缩放(&Z)"));
    for (C id : {C::N50, C::N75, C::N100, C::N125, C::N150, C::N200})
        zoom.item(id);
    view.separator();
    for (C id : {C::NStop, C::NRefresh, C::NAllStop, C::NAllRefresh})
        view.item(id);
    view.separator();
    view.item(C::NPreviousPage);
    view.item(C::NNextPage);
    view.separator();
    view.item(C::NTOPageHome);
    view.item(C::NTOPageEnd);
    view.separator();
    view.item(C::NSource);
    view.item(C::NViewSource);
    view.separator();
    view.item(C::NHistory);
    // The engine's switch on this engine: takes effect at the next start.
    view.item(C::NDarkPages);

    const MenuBuilder favorites = top("NFavorit", QStringLiteral("收藏(&A)"));
    favorites.item(C::NAddFavorite);
    favorites.item(C::NTrimFavorite);
    favorites.separator("N28");

    const MenuBuilder settings = top("NSet", QStringLiteral("设置(&O)"));
    const MenuBuilder popup = settings.sub("NPopup", QStringLiteral("广告屏蔽"));
    NPopup = popup.menu;
    for (C id : {C::NStopPopup, C::NStopFloatAd, C::NStopFlashAd})
        popup.item(id);
    // The filter lists, beside the switches of the walks.
    popup.separator();
    popup.item(C::NStopListAd);
    popup.item(C::NNoFilterHere);
    const MenuBuilder defaultBrowser = settings.sub("NSetDefBrowser", QStringLiteral("设置默认浏览器"));
    defaultBrowser.item(C::NSetBrowserQOR);
    defaultBrowser.item(C::NSetBrowserIE);
    // Off unless asked for: grabbed for the whole desktop, they are every other program's loss.
    settings.item(C::NPlainHotKeys);
    // The engine's switches: takes effect at the next start.
    settings.item(C::NEnhancedSecurity);
    settings.item(C::NSpellCheck);
    settings.item(C::NHttpsFirst);
    settings.separator();
    settings.item(C::NPasswords);
    settings.item(C::NInternetOption);

    const MenuBuilder tools = top("NTools", QStringLiteral("工具(&T)"));
    const MenuBuilder clean = tools.sub("NCleanHisttoryM", QStringLiteral("清除浏览记录"));
    clean.item(C::NCleanAddress);
    clean.item(C::NClearSearchHistory);
    clean.separator("N3");
    for (C id : {C::NCleanHistory, C::NCleanCache, C::NCleanCookies})
        clean.item(id);
    clean.separator("N35");
    clean.item(C::NCleanTempDir);
    clean.item(C::NCleanRecent);
    clean.separator("N34");
    clean.item(C::NCleanAll);
    // Beside the sub-menu, which keeps exactly its own items.
    tools.item(C::NCleanOnExit);
    tools.separator();
    tools.item(C::NDownloads);
    tools.item(C::NTaskManager);
    tools.item(C::NDeveloperTools);

    const MenuBuilder help = top("NHelp", QStringLiteral("帮助(&H)"));
    for (C id : {C::NHelpOnline, C::NBrowserHomePage, C::NBrowserBBS})
        help.item(id);
    help.separator();
    help.item(C::NAbout);

    const MenuBuilder tabPopup{PopupMenuPcl, commands};
    tabPopup.item(C::PopupMenuCloseCurrent);
    tabPopup.item(C::NRRefresh);

    const MenuBuilder enginePopup{PopupMenuSearch, commands};
    enginePopup.item(C::NBaidu)->setChecked(true);
    enginePopup.item(C::NYahoo);
}

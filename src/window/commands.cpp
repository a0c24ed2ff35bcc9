#include "commands.h"

#include <QAction>
#include <QWidget>

namespace {

using K = CommandInfo::Kind;
using C = Command;

// In the order of the enum: the table is checked against it when a command is looked up.
constexpr CommandInfo kCommands[] = {
    {C::NAddNewBlank, "NAddNewBlank", "空白页", "Ctrl+B", "ActionNAddNewBlank", K::Plain, false},
    {C::NAddNewHomePage, "NAddNewHomePage", "主页", "Ctrl+H", "ActionNAddNewHomePage", K::Plain, false},
    {C::NCopyCurrentPage, "NCopyCurrentPage", "复制当前页", "Ctrl+Alt+N", "ActionNCopyCurrentPage", K::Plain, false},
    {C::NAddNewPrivate, "NAddNewPrivate", "新建隐私页面", "Ctrl+Shift+N", "ActionNAddNewPrivate", K::Plain, false},
    {C::NOpenFile, "NOpenFile", "打开文件(&O)", "", nullptr, K::Plain, false},
    {C::NSaveAs, "NSaveAs", "另存为(&A)...", "Ctrl+S", "ActionNSaveAs", K::Plain, false},
    {C::NPageSetup, "NPageSetup", "页面设置(&U)", "", nullptr, K::Plain, false},
    {C::NPrint, "NPrint", "打印", "Ctrl+P", "ActionNPrint", K::Plain, false},
    {C::NPrintView, "NPrintView", "打印预览(&V)", "", nullptr, K::Plain, false},
    {C::NNewMail, "NNewMail", "电子邮件页面(&P)", "", nullptr, K::Plain, false},
    {C::NSendPage, "NSendPage", "电子邮件链接(&L)", "", nullptr, K::Plain, false},
    {C::NSendLink, "NSendLink", "桌面快捷方式(&S)", "", nullptr, K::Plain, false},
    {C::NImport, "NImport", "导入和导出(&I)", "", nullptr, K::Plain, false},
    {C::NCloseCurrent, "NCloseCurrent", "关闭当前窗口", "Ctrl+W", "ActionNCloseCurrent", K::Plain, false},
    {C::NAllClose, "NAllClose", "全部关闭窗口", "Ctrl+Alt+W", "ActionNAllClose", K::Plain, false},
    {C::NAttribute, "NAttribute", "属性(&R)", "", nullptr, K::Plain, false},
    {C::NOffline, "NOffline", "脱机工作", "", nullptr, K::Check, true},
    {C::NExit, "NExit", "退出(&E) ", "Ctrl+E", "ActionNExit", K::Plain, false},

    {C::NOpenNewlyOne, "NOpenNewlyOne", "撤消最后关闭", "Ctrl+J", "ActionOpenNewlyOne", K::Plain, false},
    {C::NCut, "NCut", "剪切(&T)", "", nullptr, K::Plain, false},
    {C::NCopy, "NCopy", "复制(&C)", "", nullptr, K::Plain, false},
    {C::NPaste, "NPaste", "粘贴(&P)", "", nullptr, K::Plain, false},
    {C::NSelectAll, "NSelectAll", "全选(&A)", "Ctrl+A", "ActionNSelectAll", K::Plain, false},
    {C::NFind, "NFind", "查找(在当前页)(&F)...", "Ctrl+F", "ActionNFind", K::Plain, false},
    {C::NEditSource, "NEditSource", "编辑...", "", nullptr, K::Plain, false},
    {C::NAddressSetFocus, "NAddressSetFocus", "地址栏获焦点", "F6", "ActionNAddressSetFocus", K::Hidden, false},
    {C::NDocmentSetFocus, "NDocmentSetFocus", "文档获得焦点", "F7", "ActionDocmentSetFocus", K::Hidden, false},
    {C::NCleanCurrentAd, "NCleanCurrentAd", "CLEAN当前AD", "F8", "ActionCleanCurrentAd", K::Hidden, false},

    {C::NFavoritesBar, "NFavoritesBar", "收藏栏(&B)", "", nullptr, K::Check, false},
    {C::NLargest, "NLargest", "最大(&G)", "", nullptr, K::Radio, false},
    {C::NLarger, "NLarger", "较大(&L)", "", nullptr, K::Radio, false},
    {C::NMiddle, "NMiddle", "中(&M)", "", nullptr, K::Radio, false},
    {C::NSmall, "NSmall", "较小(&S)", "", nullptr, K::Radio, false},
    {C::NSmallest, "NSmallest", "最小(&A)", "", nullptr, K::Radio, false},
    {C::N50, "N50", "50%", "", nullptr, K::Plain, false},
    {C::N75, "N75", "75%", "", nullptr, K::Plain, false},
    {C::N100, "N100", "100%", "", nullptr, K::Plain, false},
    {C::N125, "N125", "125%", "", nullptr, K::Plain, false},
    {C::N150, "N150", "150%", "", nullptr, K::Plain, false},
    {C::N200, "N200", "200%", "", nullptr, K::Plain, false},
    {C::NStop, "NStop", "停止", "Esc", "ActionNStop", K::Plain, false},
    {C::NRefresh, "NRefresh", "刷新", "F5", "ActionNRefresh", K::Plain, false},
    {C::NAllStop, "NAllStop", "全部停止", "", nullptr, K::Plain, false},
    {C::NAllRefresh, "NAllRefresh", "全部刷新", "Shift+F5", "ActionNAllRefresh", K::Plain, false},
    {C::NPreviousPage, "NPreviousPage", "前一页面", "Ctrl+Q", "ActionNPreviousPage", K::Plain, false},
    {C::NNextPage, "NNextPage", "后一页面", "Ctrl+M", "ActionNNextPage", K::Plain, false},
    {C::NTOPageHome, "NTOPageHome", "到网页文档头", "", nullptr, K::Plain, false},
    {C::NTOPageEnd, "NTOPageEnd", "到网页文档尾", "", nullptr, K::Plain, false},
    {C::NSource, "NSource", "源文件(&C)", "", nullptr, K::Plain, false},
    {C::NViewSource, "NViewSource", "查看网页源代码", "Ctrl+U", "ActionNViewSource", K::Plain, false},
    {C::NHistory, "NHistory", "历史记录", "Ctrl+Shift+H", "ActionNHistory", K::Plain, false},
    {C::NDarkPages, "NDarkPages", "深色网页", "", nullptr, K::Check, false},

    {C::NAddFavorite, "NAddFavorite", "添加到收藏夹(&F)", "Ctrl+D", "ActionNAddFavorite", K::Plain, false},
    {C::NTrimFavorite, "NTrimFavorite", "整理收藏夹(&O)...", "", nullptr, K::Plain, false},

    {C::NStopPopup, "NStopPopup", "启用弹出窗口过滤", "", nullptr, K::Check, false},
    {C::NStopFloatAd, "NStopFloatAd", "启用漂浮广告过滤", "", nullptr, K::Check, false},
    {C::NStopFlashAd, "NStopFlashAd", "启用FLASH过滤", "", nullptr, K::Check, false},
    {C::NStopListAd, "NStopListAd", "启用广告过滤列表", "", nullptr, K::Check, false},
    {C::NNoFilterHere, "NNoFilterHere", "此网站不过滤", "", nullptr, K::Check, false},
    {C::NSetBrowserQOR, "NSetBrowserQOR", "设置 sablix 为默认浏览器", "", nullptr, K::Plain, false},
    // There is no such browser on this system: the item stays, greyed.
    {C::NSetBrowserIE, "NSetBrowserIE", "设置 IE 为默认浏览器", "", nullptr, K::Plain, true},
    {C::NPlainHotKeys, "NPlainHotKeys", "全局热键包括 Ctrl+Y 和 Ctrl+K", "", nullptr, K::Check, false},
    {C::NEnhancedSecurity, "NEnhancedSecurity", "增强安全模式", "", nullptr, K::Check, false},
    {C::NSpellCheck, "NSpellCheck", "拼写检查", "", nullptr, K::Check, false},
    {C::NHttpsFirst, "NHttpsFirst", "优先使用 HTTPS", "", nullptr, K::Check, false},
    {C::NPasswords, "NPasswords", "密码管理(&P)...", "", nullptr, K::Plain, false},
    {C::NInternetOption, "NInternetOption", "Internet选项", "", nullptr, K::Plain, false},

    {C::NCleanAddress, "NCleanAddress", "清除地址栏历史", "", nullptr, K::Plain, false},
    {C::NClearSearchHistory, "NClearSearchHistory", "清除搜索栏历史", "", nullptr, K::Plain, false},
    {C::NCleanHistory, "NCleanHistory", "清除浏览历史", "", nullptr, K::Plain, false},
    {C::NCleanCache, "NCleanCache", "清除缓存(Cache)", "", nullptr, K::Plain, false},
    {C::NCleanCookies, "NCleanCookies", "清除 Cookies", "", nullptr, K::Plain, false},
    {C::NCleanTempDir, "NCleanTempDir", "清空临时目录", "", nullptr, K::Plain, false},
    {C::NCleanRecent, "NCleanRecent", "清除最近浏览的文档 ", "", nullptr, K::Plain, false},
    {C::NCleanAll, "NCleanAll", "全部清除", "", nullptr, K::Plain, false},
    {C::NCleanOnExit, "NCleanOnExit", "退出时清除浏览记录", "", nullptr, K::Check, false},
    {C::NDownloads, "NDownloads", "下载(&D)...", "", nullptr, K::Plain, false},
    {C::NTaskManager, "NTaskManager", "任务管理器", "Shift+Esc", "ActionNTaskManager", K::Plain, false},
    {C::NDeveloperTools, "NDeveloperTools", "开发者工具", "F12", "ActionNDeveloperTools", K::Plain, false},

    {C::NHelpOnline, "NHelpOnline", "在线帮助", "", nullptr, K::Plain, false},
    {C::NBrowserHomePage, "NBrowserHomePage", "sablix 主页", "", nullptr, K::Plain, false},
    {C::NBrowserBBS, "NBrowserBBS", "sablix 论坛", "", nullptr, K::Plain, false},
    {C::NAbout, "NAbout", "关于", "", nullptr, K::Plain, false},

    {C::PopupMenuCloseCurrent, "PopupMenuCloseCurrent", "关闭页面(&C)", "", nullptr, K::Plain, false},
    {C::NRRefresh, "NRRefresh", "刷新页面(&R)", "", nullptr, K::Plain, false},
    {C::NBaidu, "NBaidu", "百度搜索", "", nullptr, K::Check, false},
    {C::NYahoo, "NYahoo", "Yahoo搜索", "", nullptr, K::Check, false},

    {C::ActionF1, "ActionF1", nullptr, "F1", "ActionF1", K::Plain, false},
    {C::ActionF2, "ActionF2", nullptr, "F2", "ActionF2", K::Plain, false},
    {C::ActionF3, "ActionF3", nullptr, "F3", "ActionF3", K::Plain, false},
    {C::ActionF4, "ActionF4", nullptr, "F4", "ActionF4", K::Plain, false},
    {C::ActionTest, "ActionTest", nullptr, "Shift+F10", "ActionTest", K::Plain, false},
    {C::ActionRestorePages, "ActionRestorePages", nullptr, "Ctrl+Shift+T", "ActionRestorePages", K::Plain, false},
    // The developer tools' second key, as other browsers have it.
    {C::ActionDeveloperTools, "ActionDeveloperTools", nullptr, "Ctrl+Shift+I", "ActionDeveloperTools", K::Plain, false},
};
static_assert(std::size(kCommands) == size_t(Command::Count), "one row per command");

constexpr bool everyKeyHasItsAction()
{
    for (const CommandInfo &info : kCommands)
        if (info.keys[0] != '\0' && !info.actionName)
            return false;
    return true;
}
static_assert(everyKeyHasItsAction(), "a key is carried by a key action, never by a menu item");

} // namespace

const CommandInfo &commandInfo(Command id)
{
    const CommandInfo &info = kCommands[size_t(id)];
    Q_ASSERT(info.id == id);
    return info;
}

CommandSet::CommandSet(QWidget *window) : QObject(window)
{
    for (const CommandInfo &info : kCommands) {
        const size_t i = size_t(info.id);
        const QKeySequence keys(QLatin1String(info.keys));
        QAction *item = nullptr;
        if (info.caption) {
            QString text = QString::fromUtf8(info.caption);
            // One key, one action: the key action below carries the key for the whole
            // window, and the item only shows it (a menu shows what follows a tab as the
            // key). Had the item the key as well, the two would be ambiguous whenever the
            // menu bar has the keyboard (after a tap of Alt, or a menu closed with Esc),
            // and neither would run.
            if (!keys.isEmpty())
                text += QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
            item = new QAction(text, window);
            item->setObjectName(QLatin1String(info.name));
            item->setCheckable(info.kind == CommandInfo::Check || info.kind == CommandInfo::Radio);
            item->setVisible(info.kind != CommandInfo::Hidden);
        }
        if (info.actionName) {
            auto *action = new QAction(window);
            action->setObjectName(QLatin1String(info.actionName));
            action->setShortcut(keys);
            action->setShortcutContext(Qt::WindowShortcut);
            window->addAction(action);
            m_keyActions[i] = action;
            if (item)
                connect(action, &QAction::triggered, item, [item] { item->trigger(); });
            else
                item = action;
        }
        m_items[i] = item;
    }
    m_items[size_t(Command::NSetBrowserIE)]->setEnabled(false);
}

void CommandSet::bind(Command id, QObject *context, std::function<void()> handler)
{
    connect(m_items[size_t(id)], &QAction::triggered, context, [handler = std::move(handler)] { handler(); });
    m_bound[size_t(id)] = true;
}

// The widget tree of the main window: tool bar panels, client area; the place of the status bar.

#include "mainform.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QWidget *makePanel(QWidget *parent, const char *name)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    auto *layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    return panel;
}

QToolButton *makeButton(QWidget *parent, const char *name, const QString &hint, const QIcon &icon = {})
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    if (!icon.isNull())
        button->setIcon(icon);
    if (parent && parent->layout())
        parent->layout()->addWidget(button);
    return button;
}

QComboBox *makeEditableBox(QWidget *parent, const char *name)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    box->setMinimumContentsLength(4);
    return box;
}

// One of the tool bar's own pictures (data/icons/toolbar), at 16 and 32 pixels.
QIcon toolbarIcon(const char *name)
{
    QIcon icon;
    for (const char *size : {"16", "32"})
        icon.addFile(QStringLiteral(":/icons/toolbar/%1-%2.png").arg(QLatin1String(name), QLatin1String(size)));
    return icon;
}

QIcon greyed(const QIcon &icon)
{
    QIcon grey;
    for (int size : {16, 32})
        grey.addPixmap(icon.pixmap(size, size, QIcon::Disabled));
    return grey;
}

} // namespace

void TQORMainForm::buildWidgets()
{
    // Tool bar: the address panel takes what the search panel (176) and the new/close
    // panel (64) leave; hidden panels give their room to the address box.
    ToolBarAddress = new QToolBar(this);
    ToolBarAddress->setObjectName(QStringLiteral("ToolBarAddress"));
    ToolBarAddress->setMovable(false);
    ToolBarAddress->setFloatable(false);
    ToolBarAddress->setMinimumHeight(27);
    ToolBarAddress->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBarAddress);

    auto *bar = new QWidget(ToolBarAddress);
    bar->setObjectName(QStringLiteral("ToolBarRow"));
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(2);
    ToolBarAddress->addWidget(bar);

    PanelAddress = makePanel(bar, "PanelAddress");
    PanelAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    barLayout->addWidget(PanelAddress, 1);

    PanelPN = makePanel(PanelAddress, "PanelPN");
    PanelAddress->layout()->addWidget(PanelPN);
    // Back and forward take their pictures from the image holders below.
    SBP = makeButton(PanelPN, "SBP", QStringLiteral("后退"));
    SBN = makeButton(PanelPN, "SBN", QStringLiteral("前进"));

    PanelAddress_ = makePanel(PanelAddress, "PanelAddress_");
    static_cast<QHBoxLayout *>(PanelAddress->layout())->addWidget(PanelAddress_, 1);
    LabelAddress = new QLabel(QStringLiteral("地址"), PanelAddress_);
    LabelAddress->setObjectName(QStringLiteral("LabelAddress"));
    PanelAddress_->layout()->addWidget(LabelAddress);
    CBURL = makeEditableBox(PanelAddress_, "CBURL");
    CBURL->setToolTip(QStringLiteral("地址栏"));
    CBURL->setMaxVisibleItems(8);
    static_cast<QHBoxLayout *>(PanelAddress_->layout())->addWidget(CBURL, 1);
    BBGO = makeButton(PanelAddress_, "BBGO", QStringLiteral("转到"),
                      toolbarIcon("go"));
    BBGO->setText(QStringLiteral("转到"));
    BBGO->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    PanelRS = makePanel(PanelAddress, "PanelRS");
    PanelAddress->layout()->addWidget(PanelRS);
    SBRefresh = makeButton(PanelRS, "SBRefresh", QStringLiteral("刷新"),
                           toolbarIcon("refresh"));
    SBStop = makeButton(PanelRS, "SBStop", QStringLiteral("停止"),
                        toolbarIcon("stop"));

    PanelSearch = makePanel(bar, "PanelSearch");
    PanelSearch->setFixedWidth(176);
    barLayout->addWidget(PanelSearch);
    ComboBoxSearch = makeEditableBox(PanelSearch, "ComboBoxSearch");
    static_cast<QHBoxLayout *>(PanelSearch->layout())->addWidget(ComboBoxSearch, 1);
    SBSearch = makeButton(PanelSearch, "SBSearch", QStringLiteral("搜索"),
                          toolbarIcon("search"));
    SBSearchOn = makeButton(PanelSearch, "SBSearchOn", QStringLiteral("搜索引擎选择"));
    SBSearchOn->setArrowType(Qt::DownArrow);
    SBSearchOn->setMaximumWidth(16);

    PanelExtended2 = makePanel(bar, "PanelExtended2");
    PanelExtended2->setFixedWidth(64);
    barLayout->addWidget(PanelExtended2);
    SBAddNew = makeButton(PanelExtended2, "SBAddNew", QStringLiteral("新建空白页面"),
                          toolbarIcon("newpage"));
    SBCloseCurrentPage = makeButton(PanelExtended2, "SBCloseCurrentPage",
                                    QStringLiteral("关闭当前页"),
                                    toolbarIcon("closepage"));

    // Client area: the page control fills it.
    PanelMainClient = new QWidget(this);
    PanelMainClient->setObjectName(QStringLiteral("PanelMainClient"));
    PanelMainClient->setFocusPolicy(Qt::ClickFocus);
    auto *clientLayout = new QVBoxLayout(PanelMainClient);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    PageControl = new QTabWidget(PanelMainClient);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setUsesScrollButtons(true);
    PageControl->tabBar()->setExpanding(false);
    PageControl->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl->setFocusPolicy(Qt::NoFocus);
    clientLayout->addWidget(PageControl);
    setCentralWidget(PanelMainClient);

    ListBoxNewly = new QListView(PanelMainClient);
    ListBoxNewly->setObjectName(QStringLiteral("ListBoxNewly"));
    ListBoxNewly->hide();

    PanelImages = new QWidget(PanelMainClient);
    PanelImages->setObjectName(QStringLiteral("PanelImages"));
    PanelImages->hide();
    const QIcon back = toolbarIcon("back");
    const QIcon forward = toolbarIcon("forward");
    SBL1 = makeButton(PanelImages, "SBL1", QString(), back);
    SBL2 = makeButton(PanelImages, "SBL2", QString(), forward);
    SBH1 = makeButton(PanelImages, "SBH1", QString(), greyed(back));
    SBH2 = makeButton(PanelImages, "SBH2", QString(), greyed(forward));
    SBP->setIcon(SBH1->icon());
    SBN->setIcon(SBH2->icon());

    // Menus that live beside the main menu.
    PopupMenuPcl = new QMenu(this);
    PopupMenuPcl->setObjectName(QStringLiteral("PopupMenuPcl"));
    PopupMenuSearch = new QMenu(this);
    PopupMenuSearch->setObjectName(QStringLiteral("PopupMenuSearch"));
    PopupMenuNewly = new QMenu(this);
    PopupMenuNewly->setObjectName(QStringLiteral("PopupMenuNewly"));
}

TQORMainForm::DrivenWidgets TQORMainForm::drivenWidgets() const
{
    return {CBURL,        ComboBoxSearch, SBSearch,        SBSearchOn,    PanelMainClient, PageControl,
            ListBoxNewly, PopupMenuPcl,   PopupMenuSearch, PopupMenuNewly};
}

void TQORMainForm::placeStatusBar(QStatusBar *bar)
{
    bar->setSizeGripEnabled(true);
    setStatusBar(bar);
}

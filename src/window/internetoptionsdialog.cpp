#include "internetoptionsdialog.h"

#include "../adblock/filtersources.h"
#include "../engine/internetoptions.h"
#include "../engine/sitepermissions.h"
#include "../core/listfile.h"
#include "../core/storageproblems.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

InternetOptionsDialog::InternetOptionsDialog(const QList<QAction *> &switches, std::function<QString()> currentPage,
                                             QWidget *parent)
    : QDialog(parent), m_currentPage(std::move(currentPage))
{
    setObjectName(QStringLiteral("InternetOptionsDialog"));
    setWindowTitle(QStringLiteral("Internet选项"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *home = new QGroupBox(QStringLiteral("主页"), this);
    m_homePage = new QLineEdit(InternetOptions::homePage(), home);
    m_homePage->setObjectName(QStringLiteral("HomePage"));
    auto *useCurrent = new QPushButton(QStringLiteral("使用当前页(&C)"), home);
    useCurrent->setObjectName(QStringLiteral("UseCurrentPage"));
    auto *useBlank = new QPushButton(QStringLiteral("使用空白页(&B)"), home);
    useBlank->setObjectName(QStringLiteral("UseBlankPage"));
    connect(useCurrent, &QPushButton::clicked, this, [this] {
        const QString page = m_currentPage ? m_currentPage() : QString();
        if (!page.trimmed().isEmpty())
            m_homePage->setText(page);
    });
    connect(useBlank, &QPushButton::clicked, this, [this] { m_homePage->setText(QStringLiteral("about:blank")); });
    auto *homeButtons = new QHBoxLayout;
    homeButtons->addStretch();
    homeButtons->addWidget(useCurrent);
    homeButtons->addWidget(useBlank);
    auto *homeLayout = new QVBoxLayout(home);
    auto *homeLabel = new QLabel(QStringLiteral("地址(&R):"), home);
    homeLabel->setBuddy(m_homePage);
    homeLayout->addWidget(homeLabel);
    homeLayout->addWidget(m_homePage);
    homeLayout->addLayout(homeButtons);

    // The switches of the menu "广告屏蔽": one item each, switched together.
    auto *blocking = new QGroupBox(QStringLiteral("广告屏蔽"), this);
    auto *blockingLayout = new QVBoxLayout(blocking);
    for (QAction *item : switches) {
        auto *box = new QCheckBox(item->text(), blocking);
        box->setObjectName(item->objectName() + QStringLiteral("Box"));
        box->setChecked(item->isChecked());
        connect(box, &QCheckBox::clicked, item, [item, box] {
            if (item->isChecked() != box->isChecked())
                item->trigger();
        });
        connect(item, &QAction::toggled, box, &QCheckBox::setChecked);
        blockingLayout->addWidget(box);
    }

    auto *lists = new QGroupBox(QStringLiteral("订阅的广告过滤列表"), this);
    m_subscriptions = new QListWidget(lists);
    m_subscriptions->setObjectName(QStringLiteral("Subscriptions"));
    for (const QString &line : ListFile::load(FilterSources::subscriptionsFile()).value_or(QStringList()))
        if (!line.trimmed().isEmpty())
            m_subscriptions->addItem(line.trimmed());
    m_newSubscription = new QLineEdit(lists);
    m_newSubscription->setObjectName(QStringLiteral("NewSubscription"));
    m_newSubscription->setPlaceholderText(QStringLiteral("https://..."));
    auto *add = new QPushButton(QStringLiteral("添加(&A)"), lists);
    auto *remove = new QPushButton(QStringLiteral("删除(&D)"), lists);
    auto *editRules = new QPushButton(QStringLiteral("编辑我的过滤规则(&E)..."), lists);
    connect(add, &QPushButton::clicked, this, &InternetOptionsDialog::addSubscription);
    connect(m_newSubscription, &QLineEdit::returnPressed, this, &InternetOptionsDialog::addSubscription);
    connect(remove, &QPushButton::clicked, this, [this] { delete m_subscriptions->currentItem(); });
    connect(editRules, &QPushButton::clicked, this, &InternetOptionsDialog::editRulesRequested);
    auto *addRow = new QHBoxLayout;
    addRow->addWidget(m_newSubscription, 1);
    addRow->addWidget(add);
    addRow->addWidget(remove);
    auto *listsLayout = new QVBoxLayout(lists);
    listsLayout->addWidget(m_subscriptions);
    listsLayout->addLayout(addRow);
    listsLayout->addWidget(editRules);

    // What sites were allowed or refused when they asked for a feature; a revoked answer is
    // asked again.
    auto *sites = new QGroupBox(QStringLiteral("网站权限"), this);
    m_permissions = new QListWidget(sites);
    m_permissions->setObjectName(QStringLiteral("SitePermissions"));
    m_permissions->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *revoke = new QPushButton(QStringLiteral("撤销所选(&V)"), sites);
    revoke->setObjectName(QStringLiteral("RevokePermission"));
    auto *revokeAll = new QPushButton(QStringLiteral("全部撤销"), sites);
    revokeAll->setObjectName(QStringLiteral("RevokeAllPermissions"));
    connect(revoke, &QPushButton::clicked, this, [this] { revokePermissions(m_permissions->selectedItems()); });
    connect(revokeAll, &QPushButton::clicked, this, [this] {
        QList<QListWidgetItem *> all;
        for (int i = 0; i < m_permissions->count(); ++i)
            all << m_permissions->item(i);
        revokePermissions(all);
    });
    auto *revokeRow = new QHBoxLayout;
    revokeRow->addStretch();
    revokeRow->addWidget(revoke);
    revokeRow->addWidget(revokeAll);
    auto *sitesLayout = new QVBoxLayout(sites);
    sitesLayout->addWidget(m_permissions);
    sitesLayout->addLayout(revokeRow);
    showPermissions();

    auto *kept = new QGroupBox(QStringLiteral("历史记录"), this);
    m_historyDays = new QSpinBox(kept);
    m_historyDays->setObjectName(QStringLiteral("HistoryDays"));
    m_historyDays->setRange(1, 3650);
    m_historyDays->setValue(90);
    auto *keptLayout = new QHBoxLayout(kept);
    auto *keptLabel = new QLabel(QStringLiteral("网页保存在历史记录中的天数(&K):"), kept);
    keptLabel->setBuddy(m_historyDays);
    keptLayout->addWidget(keptLabel);
    keptLayout->addWidget(m_historyDays);
    keptLayout->addStretch();

    // What a start opens; after a crash the offer of the last run's pages comes either way.
    auto *starting = new QGroupBox(QStringLiteral("启动时"), this);
    m_startHome = new QRadioButton(QStringLiteral("打开主页(&H)"), starting);
    m_startHome->setObjectName(QStringLiteral("StartWithHomePage"));
    m_startHome->setChecked(true);
    m_restoreOnStart = new QRadioButton(QStringLiteral("继续上次打开的页面(&L)"), starting);
    m_restoreOnStart->setObjectName(QStringLiteral("RestoreOnStart"));
    auto *startingLayout = new QVBoxLayout(starting);
    startingLayout->addWidget(m_startHome);
    startingLayout->addWidget(m_restoreOnStart);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        apply();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // On tabs: all of it in one column is taller than a 1280x800 screen.
    auto *tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("OptionTabs"));
    auto *general = new QWidget(tabs);
    auto *generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(starting);
    generalLayout->addWidget(home);
    generalLayout->addWidget(kept);
    generalLayout->addStretch();
    tabs->addTab(general, QStringLiteral("常规(&G)"));
    auto *filtering = new QWidget(tabs);
    auto *filteringLayout = new QVBoxLayout(filtering);
    filteringLayout->addWidget(blocking);
    filteringLayout->addWidget(lists, 1);
    tabs->addTab(filtering, QStringLiteral("广告屏蔽(&F)"));
    auto *privacy = new QWidget(tabs);
    auto *privacyLayout = new QVBoxLayout(privacy);
    privacyLayout->addWidget(sites);
    tabs->addTab(privacy, QStringLiteral("网站权限(&P)"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);
    resize(520, sizeHint().height());
}

void InternetOptionsDialog::showPermissions()
{
    m_permissions->clear();
    for (const SitePermissions::Answer &answer : SitePermissions::answers()) {
        const QUrl site(answer.site);
        const QString where = site.isLocalFile() ? site.toLocalFile() : answer.site;
        auto *item = new QListWidgetItem(QStringLiteral("%1    %2: %3")
                                             .arg(where, SitePermissions::featureName(answer.feature),
                                                  answer.allowed ? QStringLiteral("允许") : QStringLiteral("拒绝")),
                                         m_permissions);
        item->setData(Qt::UserRole, answer.site);
        item->setData(Qt::UserRole + 1, answer.feature);
    }
}

void InternetOptionsDialog::revokePermissions(const QList<QListWidgetItem *> &items)
{
    // At once, not with OK: the page that was allowed is refused from now on.
    for (const QListWidgetItem *item : items)
        SitePermissions::revoke(item->data(Qt::UserRole).toString(), item->data(Qt::UserRole + 1).toInt());
    showPermissions();
}

void InternetOptionsDialog::addSubscription()
{
    const QUrl address(m_newSubscription->text().trimmed(), QUrl::StrictMode);
    // Lists are fetched over https only.
    if (!address.isValid() || address.scheme() != QLatin1String("https") || address.host().isEmpty())
        return;
    if (m_subscriptions->findItems(address.toString(), Qt::MatchExactly).isEmpty())
        m_subscriptions->addItem(address.toString());
    m_newSubscription->clear();
}

void InternetOptionsDialog::setHistoryDays(int days)
{
    m_historyDays->setValue(days);
    m_shownHistoryDays = m_historyDays->value();
}

void InternetOptionsDialog::setRestoreOnStart(bool restore)
{
    (restore ? m_restoreOnStart : m_startHome)->setChecked(true);
    m_shownRestoreOnStart = restore;
}

void InternetOptionsDialog::apply()
{
    if (m_restoreOnStart->isChecked() != m_shownRestoreOnStart) {
        m_shownRestoreOnStart = m_restoreOnStart->isChecked();
        emit restoreOnStartChanged(m_shownRestoreOnStart);
    }
    if (m_historyDays->value() != m_shownHistoryDays) {
        m_shownHistoryDays = m_historyDays->value();
        emit historyDaysChanged(m_shownHistoryDays);
    }
    const QString home = m_homePage->text().trimmed();
    InternetOptions::setHomePage(home.isEmpty() ? QStringLiteral("about:blank") : home);
    QStringList addresses;
    for (int i = 0; i < m_subscriptions->count(); ++i)
        addresses << m_subscriptions->item(i)->text();
    const QString file = FilterSources::subscriptionsFile();
    if (addresses != ListFile::load(file).value_or(QStringList())) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        saveList(m_problems, file, addresses);
        emit subscriptionsChanged();
    }
}

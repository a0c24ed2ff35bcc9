#include "passwordswindow.h"

#include "../core/safefile.h"
#include "passwords.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kOriginRole = Qt::UserRole;
constexpr int kUserRole = Qt::UserRole + 1;
const QString kHidden = QStringLiteral("••••••••");

bool ask(QWidget *parent, const QString &name, const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("密码管理"), question, QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(name);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// A CSV field: quoted when it holds a separator, a quote or a line break; a leading
// formula sign is defused so a spreadsheet does not run it.
QString csvField(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')) ||
        text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

} // namespace

PasswordsWindow::PasswordsWindow(Passwords *passwords, QWidget *parent)
    : QDialog(parent), m_passwords(passwords)
{
    setObjectName(QStringLiteral("PasswordsWindow"));
    setWindowTitle(QStringLiteral("密码管理"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_logins = new QTreeWidget(this);
    m_logins->setObjectName(QStringLiteral("PasswordList"));
    m_logins->setHeaderLabels({QStringLiteral("网站"), QStringLiteral("用户名"), QStringLiteral("密码")});
    m_logins->setRootIsDecorated(false);
    m_logins->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_logins->header()->setSectionResizeMode(0, QHeaderView::Stretch);

    m_show = new QPushButton(QStringLiteral("显示密码"), this);
    m_show->setObjectName(QStringLiteral("PasswordShow"));
    m_remove = new QPushButton(QStringLiteral("删除"), this);
    m_remove->setObjectName(QStringLiteral("PasswordRemove"));
    m_removeAll = new QPushButton(QStringLiteral("全部删除"), this);
    m_removeAll->setObjectName(QStringLiteral("PasswordRemoveAll"));
    m_export = new QPushButton(QStringLiteral("导出..."), this);
    m_export->setObjectName(QStringLiteral("PasswordExport"));
    auto *loginButtons = new QHBoxLayout;
    for (QPushButton *button : {m_show, m_remove, m_removeAll, m_export})
        loginButtons->addWidget(button);
    loginButtons->addStretch(1);

    auto *saved = new QGroupBox(QStringLiteral("已保存的密码（保存在系统密钥环中）"), this);
    auto *savedLayout = new QVBoxLayout(saved);
    savedLayout->addWidget(m_logins);
    savedLayout->addLayout(loginButtons);

    m_never = new QListWidget(this);
    m_never->setObjectName(QStringLiteral("NeverSiteList"));
    m_removeNever = new QPushButton(QStringLiteral("移除"), this);
    m_removeNever->setObjectName(QStringLiteral("NeverSiteRemove"));
    auto *never = new QGroupBox(QStringLiteral("从不保存密码的网站"), this);
    auto *neverLayout = new QVBoxLayout(never);
    neverLayout->addWidget(m_never);
    auto *neverButtons = new QHBoxLayout;
    neverButtons->addWidget(m_removeNever);
    neverButtons->addStretch(1);
    neverLayout->addLayout(neverButtons);

    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(saved, 3);
    layout->addWidget(never, 1);
    layout->addWidget(close);
    resize(560, 440);

    connect(m_show, &QPushButton::clicked, this, &PasswordsWindow::showPassword);
    connect(m_remove, &QPushButton::clicked, this, &PasswordsWindow::removeChosen);
    connect(m_removeAll, &QPushButton::clicked, this, &PasswordsWindow::removeAll);
    connect(m_export, &QPushButton::clicked, this, &PasswordsWindow::exportCsv);
    connect(m_removeNever, &QPushButton::clicked, this, &PasswordsWindow::removeNeverSite);
    reload();
}

void PasswordsWindow::reload()
{
    m_logins->clear();
    Keyring &keyring = m_passwords->keyring();
    const QList<SavedLogin> logins = keyring.all();
    for (const SavedLogin &login : logins) {
        auto *item = new QTreeWidgetItem(m_logins, {login.origin, login.user, kHidden});
        item->setData(0, kOriginRole, login.origin);
        item->setData(0, kUserRole, login.user);
    }
    if (!keyring.lastError().isEmpty())
        m_logins->setToolTip(QStringLiteral("系统密钥环不可用: ") + keyring.lastError());
    m_never->clear();
    m_never->addItems(m_passwords->neverSites().origins());
    m_removeAll->setEnabled(!logins.isEmpty());
    m_export->setEnabled(!logins.isEmpty());
}

void PasswordsWindow::showPassword()
{
    QTreeWidgetItem *item = m_logins->currentItem();
    if (!item || !ask(this, QStringLiteral("PasswordShowQuestion"),
                      QStringLiteral("在屏幕上显示 %1 的密码？").arg(item->text(0))))
        return;
    item->setText(2, m_passwords->keyring().password(item->data(0, kOriginRole).toString(),
                                                     item->data(0, kUserRole).toString()));
}

void PasswordsWindow::removeChosen()
{
    for (QTreeWidgetItem *item : m_logins->selectedItems())
        m_passwords->keyring().remove(item->data(0, kOriginRole).toString(), item->data(0, kUserRole).toString());
    m_passwords->loginsChanged();
    reload();
}

void PasswordsWindow::removeAll()
{
    if (!ask(this, QStringLiteral("PasswordRemoveAllQuestion"), QStringLiteral("删除全部已保存的密码？此操作无法撤销。")))
        return;
    for (const SavedLogin &login : m_passwords->keyring().all())
        m_passwords->keyring().remove(login.origin, login.user);
    m_passwords->loginsChanged();
    reload();
}

void PasswordsWindow::exportCsv()
{
    if (!ask(this, QStringLiteral("PasswordExportQuestion"),
             QStringLiteral("导出的文件没有加密，任何能打开它的人都能看到您的密码。仍要导出吗？")))
        return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出密码"),
                                                      QDir::home().filePath(QStringLiteral("sablix-密码.csv")),
                                                      QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    Keyring &keyring = m_passwords->keyring();
    QString csv = QStringLiteral("url,username,password\n");
    for (const SavedLogin &login : keyring.all())
        csv += csvField(login.origin) + QLatin1Char(',') + csvField(login.user) + QLatin1Char(',') +
               csvField(keyring.password(login.origin, login.user)) + QLatin1Char('\n');
    QString error;
    if (!SafeFile::replace(path, csv.toUtf8(), &error))
        QMessageBox::warning(this, QStringLiteral("密码管理"), QStringLiteral("无法写入 %1: %2").arg(path, error));
}

void PasswordsWindow::removeNeverSite()
{
    for (QListWidgetItem *item : m_never->selectedItems())
        m_passwords->neverSites().remove(item->text());
    reload();
}

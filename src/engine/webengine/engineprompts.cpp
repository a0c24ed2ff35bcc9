#include "engineprompts.h"

#include "../sitepermissions.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>
#include <QWebEngineCertificateError>

namespace {

// The engine reads a realm as Latin-1; servers of Chinese sites send UTF-8.
QString realmText(const QString &realm)
{
    for (const QChar c : realm)
        if (c.unicode() > 0xff)
            return realm;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(realm.toLatin1());
    return utf8.hasError() ? realm : decoded;
}

} // namespace

namespace EnginePrompts {

bool signIn(QWidget *parent, const QUrl &url, const QString &realm, const QString &proxyHost, QString &user,
            QString &password)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("SignInDialog"));
    dialog.setWindowTitle(proxyHost.isEmpty() ? QStringLiteral("需要登录") : QStringLiteral("代理服务器需要登录"));
    auto *where = new QLabel(&dialog);
    where->setTextFormat(Qt::PlainText);
    where->setWordWrap(true);
    where->setText(proxyHost.isEmpty()
                       ? QStringLiteral("%1 要求输入用户名和密码。\n该站点说: “%2”").arg(url.host(), realmText(realm))
                       : QStringLiteral("代理服务器 %1 要求输入用户名和密码。\n该服务器说: “%2”").arg(proxyHost, realmText(realm)));
    auto *name = new QLineEdit(&dialog);
    name->setObjectName(QStringLiteral("SignInUser"));
    auto *secret = new QLineEdit(&dialog);
    secret->setObjectName(QStringLiteral("SignInPassword"));
    secret->setEchoMode(QLineEdit::Password);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("用户名(&U):"), name);
    form->addRow(QStringLiteral("密码(&P):"), secret);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("登录"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(where);
    layout->addLayout(form);
    layout->addWidget(buttons);
    name->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    user = name->text();
    password = secret->text();
    return true;
}

QString certificateProblem(const QWebEngineCertificateError &error)
{
    switch (error.type()) {
    case QWebEngineCertificateError::CertificateCommonNameInvalid:
        return QStringLiteral("此网站的安全证书所属的名称与网站的地址不符。");
    case QWebEngineCertificateError::CertificateDateInvalid:
        return QStringLiteral("此网站的安全证书已过期或尚未生效。");
    case QWebEngineCertificateError::CertificateAuthorityInvalid:
        return QStringLiteral("此网站的安全证书不是由受信任的机构颁发的（可能是自签名证书）。");
    case QWebEngineCertificateError::CertificateRevoked:
        return QStringLiteral("此网站的安全证书已被吊销。");
    case QWebEngineCertificateError::CertificateWeakKey:
    case QWebEngineCertificateError::CertificateWeakSignatureAlgorithm:
        return QStringLiteral("此网站的安全证书使用了不安全的密钥或签名算法。");
    default:
        return QStringLiteral("此网站的安全证书有问题: ") + error.description();
    }
}

QString featureName(QWebEnginePage::Feature feature)
{
    return SitePermissions::featureName(int(feature));
}

} // namespace EnginePrompts

namespace {

QPushButton *barButton(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    return button;
}

} // namespace

PermissionBar::PermissionBar(const QUrl &origin, const QString &site, QWebEnginePage::Feature feature, QWidget *parent)
    : QFrame(parent), m_origin(origin), m_site(site), m_feature(feature)
{
    setObjectName(QStringLiteral("PermissionBar"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, QColor(0xe8, 0xf0, 0xfe));
    // Light on a dark desktop too: dark text and buttons on it.
    shade.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    shade.setColor(QPalette::ButtonText, QColor(0x20, 0x20, 0x20));
    shade.setColor(QPalette::Button, QColor(0xf4, 0xf7, 0xfe));
    setPalette(shade);
    auto *text = new QLabel(this);
    text->setTextFormat(Qt::PlainText);
    const QString who = origin.host().isEmpty() ? QUrl(site).toString(QUrl::PreferLocalFile) : origin.host();
    text->setText(QStringLiteral("%1 想要使用: %2").arg(who,
                                                       EnginePrompts::featureName(feature)));
    QPushButton *allow = barButton(QStringLiteral("允许"), "PermissionAllow", this);
    QPushButton *deny = barButton(QStringLiteral("拒绝"), "PermissionDeny", this);
    connect(allow, &QPushButton::clicked, this, [this] { emit answered(true); });
    connect(deny, &QPushButton::clicked, this, [this] { emit answered(false); });
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->addWidget(text, 1);
    layout->addWidget(allow);
    layout->addWidget(deny);
}

CertificateNotice::CertificateNotice(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("CertificateNotice"));
    setAutoFillBackground(true);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignCenter);
    auto *back = new QPushButton(QStringLiteral("返回"), this);
    back->setObjectName(QStringLiteral("CertificateBack"));
    m_proceed = new QPushButton(QStringLiteral("继续前往(不安全)"), this);
    m_proceed->setObjectName(QStringLiteral("CertificateProceed"));
    connect(back, &QPushButton::clicked, this, &CertificateNotice::back);
    connect(m_proceed, &QPushButton::clicked, this, &CertificateNotice::proceed);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(back);
    buttons->addWidget(m_proceed);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    layout->addStretch();
}

void CertificateNotice::show(const QUrl &url, const QString &problem, bool overridable)
{
    m_text->setText(QStringLiteral("此网站的连接不安全\n\n%1\n\n%2\n\n攻击者可能会试图窃取您在此网站上的信息。")
                        .arg(url.host(), problem));
    m_proceed->setVisible(overridable);
}

InsecureBar::InsecureBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("InsecureBar"));
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette shade = palette();
    shade.setColor(QPalette::Window, QColor(0xfc, 0xe8, 0xe6));
    shade.setColor(QPalette::WindowText, QColor(0xa5, 0x0e, 0x0e));
    setPalette(shade);
    m_text = new QLabel(this);
    m_text->setTextFormat(Qt::PlainText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->addWidget(m_text, 1);
}

void InsecureBar::show(const QString &host)
{
    m_text->setText(QStringLiteral("不安全: %1 的安全证书有错误，您已选择继续前往。此连接可能被他人查看或篡改。").arg(host));
    QFrame::show();
}

QString InsecureBar::text() const
{
    return m_text->text();
}

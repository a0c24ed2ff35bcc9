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

#include <algorithm>
#include <iterator>

namespace {

// The bytes a realm arrived as, where the engine read them as Latin-1 (older engines) or as
// Windows-1252 (newer ones, which take Latin-1 to mean that); empty when it holds a character
// neither could have made.
QByteArray realmBytes(const QString &realm)
{
    // What Windows-1252 puts at 0x80-0x9f, in order; the holes stay themselves.
    static const char16_t high[32] = {0x20ac, 0x81,   0x201a, 0x192,  0x201e, 0x2026, 0x2020, 0x2021,
                                      0x2c6,  0x2030, 0x160,  0x2039, 0x152,  0x8d,   0x17d,  0x8f,
                                      0x90,   0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                      0x2dc,  0x2122, 0x161,  0x203a, 0x153,  0x9d,   0x17e,  0x178};
    QByteArray bytes;
    bytes.reserve(realm.size());
    for (const QChar c : realm) {
        if (c.unicode() <= 0xff) {
            bytes += char(c.unicode());
            continue;
        }
        const auto *at = std::find(std::begin(high), std::end(high), c.unicode());
        if (at == std::end(high))
            return {};
        bytes += char(0x80 + (at - std::begin(high)));
    }
    return bytes;
}

// Servers of Chinese sites send their realm in UTF-8; the engine reads it as a single-byte
// encoding.
QString realmText(const QString &realm)
{
    const QByteArray bytes = realmBytes(realm);
    if (bytes.isEmpty())
        return realm;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
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

PermissionBar::PermissionBar(const QUrl &origin, const QString &site, int feature, QWidget *parent)
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
                                                       SitePermissions::featureName(feature)));
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

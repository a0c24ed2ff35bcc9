#include "savebar.h"

#include "passwordslog.h"

#include <QColor>
#include <QLabel>
#include <QToolButton>

namespace {

QString textFor(PasswordSaveBar::Kind kind, const QString &host, const QString &user)
{
    switch (kind) {
    case PasswordSaveBar::Save:
        return QStringLiteral("是否保存 %1 的密码？").arg(host);
    case PasswordSaveBar::Update:
        return QStringLiteral("是否更新 %1 上 %2 的密码？").arg(host, user);
    case PasswordSaveBar::NoKeyring:
        break;
    }
    return QStringLiteral("未找到系统密钥环，密码不会被保存");
}

} // namespace

void PasswordSaveBar::paintEvent(QPaintEvent *event)
{
    NoticeBar::paintEvent(event);
    // Where its buttons are on the screen, once drawn: for a diagnosis (and the tests' clicks).
    if (!lcPasswords().isDebugEnabled())
        return;
    QString places;
    for (const QToolButton *button : findChildren<QToolButton *>()) {
        const QPoint centre = button->mapToGlobal(button->rect().center());
        places += QStringLiteral(" %1@%2,%3").arg(button->objectName()).arg(centre.x()).arg(centre.y());
    }
    if (places != m_placesLogged) {
        m_placesLogged = places;
        qCDebug(lcPasswords).noquote() << "save bar" << int(m_kind) << "drawn:" << places.trimmed();
    }
}

PasswordSaveBar::PasswordSaveBar(Kind kind, const QString &host, const QString &user, QWidget *parent)
    : NoticeBar(QStringLiteral("PasswordSaveBar"), QColor(0xe8, 0xf1, 0xfb), textFor(kind, host, user), false, parent),
      m_kind(kind)
{
    text()->setObjectName(QStringLiteral("PasswordSaveText"));
    if (kind != NoKeyring) {
        QToolButton *save = addButton(QStringLiteral("PasswordSave"), kind == Update ? QStringLiteral("更新密码")
                                                                                  : QStringLiteral("保存"), false);
        connect(save, &QToolButton::clicked, this, [this] {
            emit saveRequested();
            deleteLater();
        });
        if (kind == Save) {
            QToolButton *never = addButton(QStringLiteral("PasswordNever"), QStringLiteral("从不"), false);
            never->setToolTip(QStringLiteral("从不保存此网站的密码"));
            connect(never, &QToolButton::clicked, this, [this] {
                emit neverRequested();
                deleteLater();
            });
        }
    }
    connect(addCloseButton(QStringLiteral("PasswordSaveClose")), &QToolButton::clicked, this, &QObject::deleteLater);
}

#pragma once

#include "../pages/noticebar.h"

// The bar above a page that offers to keep the password just sent: "是否保存 HOST 的密码？"
// with 保存, 从不 and ×, or, for a saved user with another password, 更新密码. Without a
// keyring it only says that passwords are not kept.
class PasswordSaveBar : public NoticeBar
{
    Q_OBJECT

public:
    enum Kind { Save, Update, NoKeyring };
    PasswordSaveBar(Kind kind, const QString &host, const QString &user, QWidget *parent = nullptr);
    Kind kind() const { return m_kind; }

signals:
    void saveRequested();
    void neverRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Kind m_kind;
    QString m_placesLogged;
};

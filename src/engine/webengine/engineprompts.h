#pragma once

#include <QFrame>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>

class QAuthenticator;
class QWebEngineCertificateError;

// What the engine used to ask of the user by itself, asked here in Chinese: sign-in,
// certificate errors, permissions, and the page's own dialogs.
namespace EnginePrompts {

// The sign-in dialog for a server or a proxy; false when the user cancels.
bool signIn(QWidget *parent, const QUrl &url, const QString &realm, const QString &proxyHost, QString &user,
            QString &password);

// Why a certificate is refused, as the user reads it.
QString certificateProblem(const QWebEngineCertificateError &error);

} // namespace EnginePrompts

// The bar above a page that asks whether it may use a feature: "允许" / "拒绝". It never
// takes the keyboard.
class PermissionBar : public QFrame
{
    Q_OBJECT

public:
    // `site`: what the answer is kept for (a local page: its own address); `feature`: as
    // SitePermissions numbers it.
    PermissionBar(const QUrl &origin, const QString &site, int feature, QWidget *parent);

    const QUrl &origin() const { return m_origin; }
    const QString &site() const { return m_site; }
    int feature() const { return m_feature; }

signals:
    void answered(bool granted);

private:
    QUrl m_origin;
    QString m_site;
    int m_feature;
};

// In place of a page whose certificate was refused: why, "返回", and, where the error may be
// passed over, "继续前往(不安全)".
class CertificateNotice : public QFrame
{
    Q_OBJECT

public:
    explicit CertificateNotice(QWidget *parent);
    void show(const QUrl &url, const QString &problem, bool overridable);

signals:
    void back();
    void proceed();

private:
    class QLabel *m_text;
    class QPushButton *m_proceed;
};

// Above a page whose certificate error the user passed over, for as long as it shows that
// site: the connection is not secure.
class InsecureBar : public QFrame
{
    Q_OBJECT

public:
    explicit InsecureBar(QWidget *parent);
    void show(const QString &host);
    QString text() const;

private:
    class QLabel *m_text;
};

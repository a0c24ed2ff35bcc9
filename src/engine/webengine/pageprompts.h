#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>

#include <optional>

class CertificateNotice;
class InsecureBar;
class PermissionBar;
class PermissionRequests;
class QWidget;
class WebEngineBrowser;

// One page's questions to the user, which the engine would otherwise answer by itself or
// leave unanswered: sign-in, certificate errors, permissions, and full screen.
class PagePrompts : public QObject
{
    Q_OBJECT

public:
    explicit PagePrompts(WebEngineBrowser *browser);

    // The certificates let through in spite of their errors are asked about again.
    static void forgetCertificateExceptions();

    // The page goes: a full-screen window showing it goes first, before the page can
    // report anything more.
    void release();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void certificateError(const QWebEngineCertificateError &error);
    // The page shows a site whose certificate error the user passed over.
    void showInsecure(const QUrl &url);
    void mainFrameNavigation(const QUrl &url);
    bool mayNavigate(const QUrl &url);
    CertificateNotice *certificateNotice();
    void permissionRequested(const QUrl &origin, int feature);
    void answerPermission(PermissionBar *bar, bool granted);
    void fullScreen(bool on);

    WebEngineBrowser *m_browser;
    QWebEnginePage *m_page;
    QPointer<CertificateNotice> m_notice;
    std::optional<QWebEngineCertificateError> m_pendingError;
    PermissionRequests *m_permissions;
    QList<QPointer<PermissionBar>> m_bars;
    QPointer<QWidget> m_fullScreen;
    QPointer<InsecureBar> m_insecure;
    QString m_insecureSite; // host:port the warning is about
    QUrl m_forgottenUrl;    // stopped: its site's exception was forgotten
    // Passed over again by the user while the certificate was unknown: the error the engine
    // may still report for that navigation is the one the user let through.
    QString m_passingSite;
};

#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>

#include <optional>

class CertificateNotice;
class PermissionBar;
class QWidget;
class WebEngineBrowser;

// One page's questions to the user, which the engine would otherwise answer by itself or
// leave unanswered: sign-in, certificate errors, permissions, and full screen.
class PagePrompts : public QObject
{
    Q_OBJECT

public:
    explicit PagePrompts(WebEngineBrowser *browser);

    // Decisions kept per host in the profile's folder: "allow" or "deny", empty when none.
    static QString storedDecision(const QString &profileFolder, const QUrl &origin, QWebEnginePage::Feature feature);

private:
    void certificateError(const QWebEngineCertificateError &error);
    void permissionRequested(const QUrl &origin, QWebEnginePage::Feature feature);
    void answerPermission(PermissionBar *bar, bool granted);
    void fullScreen(bool on);

    WebEngineBrowser *m_browser;
    QWebEnginePage *m_page;
    QPointer<CertificateNotice> m_notice;
    std::optional<QWebEngineCertificateError> m_pendingError;
    QList<QPointer<PermissionBar>> m_bars;
    QPointer<QWidget> m_fullScreen;
};

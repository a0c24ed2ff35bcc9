#pragma once

#include <QWebEnginePage>

#include <functional>

// A page that opens windows only where the program says (newWindowRequested) and keeps
// script errors to itself.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT

public:
    using QWebEnginePage::QWebEnginePage;

    // Asked before the page's own document goes to `url`; false keeps it where it is.
    std::function<bool(const QUrl &url)> navigationGate;

signals:
    void scriptError(const QString &message, int line, const QString &source);
    // The page's own document is about to be replaced by one from `url`.
    void mainFrameNavigation(const QUrl &url);
    // A download came from this page (a link, or the address it was opening), and has been
    // answered: accepted or refused.
    void downloadAnswered();
    // A message of one of the program's frame scripts (FrameScripts).
    void frameMessage(const QString &message);

protected:
    // The page's own dialogs, in Chinese, captioned with the page's host; the user can stop
    // a page that shows them again and again.
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg, const QString &defaultValue,
                          QString *result) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;

private:
    enum Kind { Alert, Confirm, Prompt };

    QWidget *dialogParent() const;
    // One of the page's dialogs, with the offer to stop more; true when the user said OK.
    bool showDialog(Kind kind, const QUrl &origin, const QString &message, QString *text);

    bool m_dialogsStopped = false;
};

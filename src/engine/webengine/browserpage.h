#pragma once

#include <QWebEnginePage>

// A page that opens windows only where the program says (newWindowRequested) and keeps
// script errors to itself.
class BrowserPage : public QWebEnginePage
{
    Q_OBJECT

public:
    using QWebEnginePage::QWebEnginePage;

signals:
    void scriptError(const QString &message, int line, const QString &source);
    // The page's own document is about to be replaced by one from `url`.
    void mainFrameNavigation(const QUrl &url);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;
};

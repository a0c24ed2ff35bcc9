#include "browserpage.h"

QWebEnginePage *BrowserPage::createWindow(WebWindowType)
{
    // A request that newWindowRequested left unanswered was cancelled.
    return nullptr;
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString &message, int lineNumber,
                                           const QString &sourceID)
{
    if (level == ErrorMessageLevel)
        emit scriptError(message, lineNumber, sourceID);
}

bool BrowserPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (isMainFrame)
        emit mainFrameNavigation(url);
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

#pragma once

#include <QPointer>
#include <QWidget>

class QWebEnginePage;
class QWebEngineView;

// The engine's developer tools for one page, in a window of their own. The window belongs to
// the page's control: it goes with the page. Closed by the user, it lets go of the page.
class DeveloperTools : public QWidget
{
    Q_OBJECT

public:
    // A top-level window owned by `owner`, inspecting `inspected`.
    DeveloperTools(QWebEnginePage *inspected, QWidget *owner);
    ~DeveloperTools() override;

    void showTitle(const QString &pageTitle);

private:
    QPointer<QWebEnginePage> m_inspected;
    QWebEngineView *m_view;
};

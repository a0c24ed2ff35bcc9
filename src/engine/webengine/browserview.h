#pragma once

#include <QWebEngineView>

#include <functional>

class QMenu;

// The view of one page. Its context menu is shown only when the program allows it, and it
// never takes a drop itself: dropped text goes on to the main window.
class BrowserView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit BrowserView(QWidget *parent = nullptr);

    void setContextMenuAllowed(std::function<bool()> allowed) { m_allowed = std::move(allowed); }
    // Adds the program's items to the engine's menu before it shows.
    void setContextMenuExtender(std::function<void(QMenu *, BrowserView *)> extend) { m_extend = std::move(extend); }
    void setRefusesDrops(bool refuse);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void refuseDropsOn(QObject *child);

    std::function<bool()> m_allowed;
    std::function<void(QMenu *, BrowserView *)> m_extend;
    bool m_refusesDrops = true;
    // Shown, and the engine not yet told: see showEvent.
    bool m_showPending = false;
};

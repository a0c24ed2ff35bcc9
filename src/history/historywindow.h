#pragma once

#include <QWidget>

#include <functional>

class History;
class HistoryListModel;
class QLineEdit;
class QPushButton;
class QTreeView;

// "历史记录": the history by day, newest first, with a search box that filters as the user
// types. Enter or a double click opens the entry (as Go does), Delete removes the chosen
// entries, "清除全部历史记录" empties the history after asking. Esc puts it away.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(History *history, QWidget *parent = nullptr);

    QLineEdit *searchBox() const { return m_search; }
    QTreeView *view() const { return m_view; }
    HistoryListModel *model() const { return m_model; }
    QPushButton *clearAllButton() const { return m_clearAll; }
    // The question before everything goes; tests answer it here.
    std::function<bool()> askToClearAll;

    void openCurrent();
    void removeSelected();
    void clearAll();

signals:
    void openRequested(const QString &address);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void reloadKeepingPlace();
    // Makes the first entry listed the current one and opens it (or walks into the list).
    bool openFirst(bool open);

    History *m_history;
    HistoryListModel *m_model;
    QLineEdit *m_search;
    QTreeView *m_view;
    QPushButton *m_remove;
    QPushButton *m_clearAll;
    bool m_stale = false;
    bool m_openWhenFound = false;
    QString m_keptAddress;
    int m_keptScroll = 0;
};

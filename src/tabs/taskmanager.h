#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

class PageRest;
class QPushButton;
class QTreeWidget;
class TEmbeddedWB;
class TFormWebbrowser;

// "任务管理器": every page with its title, memory, share of a processor and state, the
// hungriest first, so that a user with many pages sees which one eats the machine and can
// put it to rest or close it. It measures only while it is shown.
class TaskManager : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 2000;
    enum Column { ColumnTitle, ColumnMemory, ColumnCpu, ColumnState, ColumnCount };

    TaskManager(TFormWebbrowser *pages, PageRest *rest, QWidget *parent = nullptr);
    ~TaskManager() override;

    // Measures again now (off the interface thread); `refreshed` follows.
    void refresh();
    QTreeWidget *list() const { return m_list; }
    QPushButton *restButton() const { return m_restButton; }
    QPushButton *closeButton() const { return m_closeButton; }
    // The page a row stands for (none once it closed).
    TEmbeddedWB *pageOfRow(int row) const;

    // "休眠": the chosen pages give their memory back now; "关闭": they close.
    void restChosen();
    void closeChosen();

signals:
    void refreshed();
    void statusMessage(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Sample
    {
        qint64 memoryKiB = -1;
        qint64 cpuTicks = -1;
    };
    void display(const QHash<qint64, Sample> &samples, qint64 elapsedMs);
    QList<TEmbeddedWB *> chosen() const;

    TFormWebbrowser *m_pages;
    PageRest *m_rest;
    QTreeWidget *m_list;
    QPushButton *m_restButton;
    QPushButton *m_closeButton;
    QTimer m_timer;
    bool m_measuring = false;
    bool m_again = false;
    // The last sample of each renderer and when it was taken, for the processor share.
    QHash<qint64, Sample> m_last;
    QElapsedTimer m_lastTaken;
    QList<QPointer<TEmbeddedWB>> m_rows;
};

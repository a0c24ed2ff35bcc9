#pragma once

#include <QElapsedTimer>
#include <QWidget>

class DownloadItem;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// One download in the list: its name, a progress bar, speed and time left, and its buttons.
class DownloadRow : public QWidget
{
    Q_OBJECT

public:
    DownloadRow(DownloadItem *item, QWidget *parent);

    DownloadItem *item() const { return m_item; }
    QString status() const;

private:
    void refresh();
    QString shownPath() const;

    DownloadItem *m_item;
    QLabel *m_name;
    QProgressBar *m_progress;
    QLabel *m_status;
    QPushButton *m_pause;
    QPushButton *m_cancel;
    QPushButton *m_open;
    QPushButton *m_folder;
    QElapsedTimer m_clock;
    qint64 m_lastBytes = 0;
    qint64 m_lastMs = 0;
    double m_speed = 0; // bytes a second, smoothed
};

// "下载": every download of the run.
class DownloadsWindow : public QWidget
{
    Q_OBJECT

public:
    explicit DownloadsWindow(QWidget *parent);
    void add(DownloadItem *item);
    QList<DownloadRow *> rows() const;

private:
    QVBoxLayout *m_rows;
};

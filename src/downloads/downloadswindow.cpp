#include "downloadswindow.h"

#include "../engine/downloaditem.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString bytes(qint64 count)
{
    return QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(count, 1, QLocale::DataSizeTraditionalFormat);
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *made = new QPushButton(text, parent);
    made->setObjectName(QLatin1String(name));
    made->setAutoDefault(false);
    return made;
}

} // namespace

DownloadRow::DownloadRow(DownloadItem *item, QWidget *parent) : QWidget(parent), m_item(item)
{
    setObjectName(QStringLiteral("DownloadRow"));
    m_name = new QLabel(this);
    m_name->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_status = new QLabel(this);
    m_status->setTextFormat(Qt::PlainText);
    m_pause = button(QStringLiteral("暂停"), "DownloadPause", this);
    m_cancel = button(QStringLiteral("取消"), "DownloadCancel", this);
    m_open = button(QStringLiteral("打开"), "DownloadOpen", this);
    m_folder = button(QStringLiteral("打开所在文件夹"), "DownloadFolder", this);
    connect(m_pause, &QPushButton::clicked, this, [this] {
        if (m_item->state() == DownloadItem::Paused)
            m_item->resume();
        else
            m_item->pause();
    });
    connect(m_cancel, &QPushButton::clicked, m_item, &DownloadItem::cancel);
    connect(m_open, &QPushButton::clicked, this, [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(shownPath())); });
    connect(m_folder, &QPushButton::clicked, this,
            [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(shownPath()).absolutePath())); });
    connect(m_item, &DownloadItem::changed, this, &DownloadRow::refresh);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_status, 1);
    for (QPushButton *each : {m_pause, m_cancel, m_open, m_folder})
        buttons->addWidget(each);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    m_clock.start();
    refresh();
}

QString DownloadRow::shownPath() const
{
    const QString saved = m_item->property("savedAs").toString();
    return saved.isEmpty() ? m_item->finalPath() : saved;
}

QString DownloadRow::status() const
{
    return m_status->text();
}

void DownloadRow::refresh()
{
    m_name->setText(QFileInfo(shownPath()).fileName() + QStringLiteral("  —  ") + m_item->url().toString());
    const qint64 received = m_item->received();
    const qint64 total = m_item->total();
    if (total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(received * 1000 / total));
    } else {
        m_progress->setRange(0, 0); // size unknown: busy
    }
    // Speed over the last readings, smoothed.
    const qint64 now = m_clock.elapsed();
    if (now - m_lastMs >= 250) {
        const double current = double(received - m_lastBytes) * 1000.0 / double(qMax<qint64>(1, now - m_lastMs));
        m_speed = m_speed <= 0 ? current : 0.7 * m_speed + 0.3 * current;
        m_lastBytes = received;
        m_lastMs = now;
    }
    const DownloadItem::State state = m_item->state();
    QString text;
    switch (state) {
    case DownloadItem::InProgress:
        text = bytes(received) + (total > 0 ? QStringLiteral(" / ") + bytes(total) : QString()) + QStringLiteral("，") +
               bytes(qint64(m_speed)) + QStringLiteral("/秒");
        if (total > 0 && m_speed > 1)
            text += QStringLiteral("，还剩 %1 秒").arg(qint64(double(total - received) / m_speed) + 1);
        break;
    case DownloadItem::Paused:
        text = QStringLiteral("已暂停: ") + bytes(received) + (total > 0 ? QStringLiteral(" / ") + bytes(total) : QString());
        break;
    case DownloadItem::Completed:
        text = QStringLiteral("已完成: ") + bytes(received);
        m_progress->setRange(0, 1);
        m_progress->setValue(1);
        break;
    case DownloadItem::Cancelled:
        text = QStringLiteral("已取消");
        break;
    case DownloadItem::Interrupted:
        text = QStringLiteral("下载中断: ") + m_item->error() + QStringLiteral("（已下载的部分保存在 ") +
               QFileInfo(m_item->partPath()).fileName() + QStringLiteral("）");
        break;
    }
    m_status->setText(text);
    const bool running = state == DownloadItem::InProgress || state == DownloadItem::Paused;
    m_pause->setText(state == DownloadItem::Paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
    m_pause->setEnabled(running);
    m_cancel->setEnabled(running);
    m_open->setEnabled(state == DownloadItem::Completed);
    m_folder->setEnabled(state == DownloadItem::Completed || state == DownloadItem::Interrupted);
}

DownloadsWindow::DownloadsWindow(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DownloadsWindow"));
    setWindowTitle(QStringLiteral("下载"));
    auto *inner = new QWidget;
    m_rows = new QVBoxLayout(inner);
    m_rows->addStretch();
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    resize(560, 320);
}

void DownloadsWindow::add(DownloadItem *item)
{
    m_rows->insertWidget(0, new DownloadRow(item, this));
}

QList<DownloadRow *> DownloadsWindow::rows() const
{
    return findChildren<DownloadRow *>();
}

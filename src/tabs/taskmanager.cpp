#include "taskmanager.h"

#include "../engine/embeddedwb.h"
#include "../pages/formwebbrowser.h"
#include "../pages/pagecaption.h"
#include "pagerest.h"
#include "processusage.h"

#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <memory>

namespace {

QString stateText(const TFormWebbrowser::PageView &record)
{
    if (!record.waitingAddress().isEmpty())
        return QStringLiteral("已休眠");
    switch (record.browser()->rest()) {
    case TEmbeddedWB::Rest::Frozen:
        return QStringLiteral("冻结");
    case TEmbeddedWB::Rest::Discarded:
        return QStringLiteral("已休眠");
    case TEmbeddedWB::Rest::Active:
        break;
    }
    return QStringLiteral("活动");
}

QString memoryText(qint64 kib)
{
    if (kib < 0)
        return QStringLiteral("—");
    return QStringLiteral("%1 MB").arg(double(kib) / 1024.0, 0, 'f', 1);
}

} // namespace

TaskManager::TaskManager(TFormWebbrowser *pages, PageRest *rest, QWidget *parent)
    : QWidget(parent, Qt::Window), m_pages(pages), m_rest(rest), m_list(new QTreeWidget(this)),
      m_restButton(new QPushButton(QStringLiteral("休眠"), this)),
      m_closeButton(new QPushButton(QStringLiteral("关闭"), this))
{
    setObjectName(QStringLiteral("TaskManager"));
    setWindowTitle(QStringLiteral("任务管理器"));
    resize(560, 360);
    m_list->setObjectName(QStringLiteral("TaskList"));
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels(
        {QStringLiteral("页面"), QStringLiteral("内存"), QStringLiteral("CPU"), QStringLiteral("状态")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(ColumnTitle, QHeaderView::Stretch);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_restButton, QDialogButtonBox::ActionRole);
    buttons->addButton(m_closeButton, QDialogButtonBox::ActionRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    connect(m_restButton, &QPushButton::clicked, this, &TaskManager::restChosen);
    connect(m_closeButton, &QPushButton::clicked, this, &TaskManager::closeChosen);
    connect(new QShortcut(QKeySequence::Delete, m_list), &QShortcut::activated, this, &TaskManager::closeChosen);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &TaskManager::refresh);
}

TaskManager::~TaskManager() = default;

void TaskManager::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
    refresh();
}

void TaskManager::hideEvent(QHideEvent *event)
{
    // Closed, it costs nothing; the next share is measured afresh.
    m_timer.stop();
    m_last.clear();
    m_lastTaken.invalidate();
    QWidget::hideEvent(event);
}

void TaskManager::refresh()
{
    if (m_measuring) {
        m_again = true;
        return;
    }
    QList<qint64> pids;
    for (int i = 0; i < m_pages->count(); ++i) {
        const qint64 pid = m_pages->page(i)->browser()->rendererProcessId();
        if (pid > 0 && !pids.contains(pid))
            pids.append(pid);
    }
    m_measuring = true;
    // /proc of a large renderer takes a while to walk: not on the interface thread.
    auto *watcher = new QFutureWatcher<QHash<qint64, Sample>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_measuring = false;
        const qint64 elapsed = m_lastTaken.isValid() ? m_lastTaken.restart() : (m_lastTaken.start(), 0);
        display(watcher->result(), elapsed);
        if (m_again) {
            m_again = false;
            refresh();
        }
    });
    watcher->setFuture(QtConcurrent::run([pids] {
        QHash<qint64, Sample> samples;
        for (qint64 pid : pids)
            samples.insert(pid, {ProcessUsage::memoryKiB(pid), ProcessUsage::cpuTicks(pid)});
        return samples;
    }));
}

void TaskManager::display(const QHash<qint64, Sample> &samples, qint64 elapsedMs)
{
    const QList<TEmbeddedWB *> wasChosen = chosen();
    // Pages that share a renderer share its figures.
    QHash<qint64, int> sharing;
    for (int i = 0; i < m_pages->count(); ++i)
        ++sharing[m_pages->page(i)->browser()->rendererProcessId()];

    struct Row
    {
        TEmbeddedWB *page;
        QString title;
        qint64 memoryKiB;
        double cpu; // per cent of one processor; negative: not known yet
        QString state;
        int sharedWith;
    };
    std::vector<Row> rows;
    for (int i = 0; i < m_pages->count(); ++i) {
        const TFormWebbrowser::PageView &record = *m_pages->page(i);
        const qint64 pid = record.browser()->rendererProcessId();
        const Sample now = samples.value(pid);
        const int shared = qMax(1, sharing.value(pid));
        QString title = record.browser()->LocationName();
        if (title.isEmpty())
            title = record.title().isEmpty() ? record.address() : record.title();
        Row row{record.browser(), title, -1, -1.0, stateText(record), pid > 0 ? shared : 1};
        if (pid > 0 && now.memoryKiB >= 0)
            row.memoryKiB = now.memoryKiB / shared;
        const Sample before = m_last.value(pid);
        if (pid > 0 && elapsedMs > 0 && now.cpuTicks >= 0 && before.cpuTicks >= 0 && now.cpuTicks >= before.cpuTicks) {
            const double seconds = double(now.cpuTicks - before.cpuTicks) / ProcessUsage::ticksPerSecond();
            row.cpu = 100.0 * seconds / (double(elapsedMs) / 1000.0) / shared;
        }
        rows.push_back(row);
    }
    m_last = samples;
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.memoryKiB > b.memoryKiB; });

    m_list->clear();
    m_rows.clear();
    for (const Row &row : rows) {
        // Titles come from pages: item texts are plain text.
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(ColumnTitle, PageCaption::isolated(row.title));
        item->setToolTip(ColumnTitle, PageCaption::isolated(row.title));
        item->setText(ColumnMemory, memoryText(row.memoryKiB));
        item->setTextAlignment(ColumnMemory, Qt::AlignRight | Qt::AlignVCenter);
        if (row.sharedWith > 1)
            item->setToolTip(ColumnMemory, QStringLiteral("%1 个页面共用一个进程").arg(row.sharedWith));
        item->setText(ColumnCpu, row.cpu < 0 ? QStringLiteral("—") : QStringLiteral("%1%").arg(row.cpu, 0, 'f', 1));
        item->setTextAlignment(ColumnCpu, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(ColumnState, row.state);
        m_rows.append(row.page);
        if (wasChosen.contains(row.page))
            item->setSelected(true);
    }
    emit refreshed();
}

TEmbeddedWB *TaskManager::pageOfRow(int row) const
{
    const QPointer<TEmbeddedWB> page = m_rows.value(row);
    return page && m_pages->indexOf(page) >= 0 ? page.data() : nullptr;
}

QList<TEmbeddedWB *> TaskManager::chosen() const
{
    QList<TEmbeddedWB *> pages;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (m_list->topLevelItem(row)->isSelected())
            if (TEmbeddedWB *page = pageOfRow(row))
                pages.append(page);
    }
    return pages;
}

void TaskManager::restChosen()
{
    const QList<TEmbeddedWB *> pages = chosen();
    if (pages.isEmpty())
        return;
    // Each answer comes when the page said whether it holds typed text; the last one speaks.
    struct Tally
    {
        int left = 0;
        int kept = 0;
    };
    auto tally = std::make_shared<Tally>();
    tally->left = int(pages.size());
    QPointer<TaskManager> self(this);
    for (TEmbeddedWB *page : pages) {
        m_rest->restNow(page, [self, tally](bool rested) {
            if (!rested)
                ++tally->kept;
            if (--tally->left > 0 || !self)
                return;
            if (tally->kept > 0)
                emit self->statusMessage(
                    QStringLiteral("%1 个页面未休眠: 正在显示、加载、播放声音或有未提交的输入。").arg(tally->kept));
            self->refresh();
        });
    }
}

void TaskManager::closeChosen()
{
    QList<int> indexes;
    for (TEmbeddedWB *page : chosen())
        indexes.append(m_pages->indexOf(page));
    // From the back, so that the indexes still hold.
    std::sort(indexes.begin(), indexes.end(), std::greater<int>());
    for (int index : indexes)
        m_pages->ClosePage(index);
    refresh();
}

#include "webenginedownload.h"

#include "browserpage.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QWebEngineDownloadRequest>
#include <QWebEngineProfile>

WebEngineDownload::WebEngineDownload(QWebEngineDownloadRequest *request, const QString &finalPath, QObject *parent)
    : DownloadItem(parent), m_finalPath(finalPath)
{
    // A fast transfer reports every few kilobytes, thousands of times a second; passed on one by
    // one they keep the UI thread (which the engine shares) busy. Byte counts are passed on a few
    // times a second, anything else at once.
    m_progress.setSingleShot(true);
    m_progress.setInterval(100);
    connect(&m_progress, &QTimer::timeout, this, &DownloadItem::changed);
    follow(request);
}

void WebEngineDownload::follow(QWebEngineDownloadRequest *request)
{
    if (m_request)
        m_request->disconnect(this);
    m_request = request;
    connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, [this] {
        if (!m_progress.isActive())
            m_progress.start();
    });
    const auto now = [this] {
        m_progress.stop();
        emit changed();
    };
    connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, now);
    connect(request, &QWebEngineDownloadRequest::stateChanged, this, now);
    connect(request, &QWebEngineDownloadRequest::isPausedChanged, this, now);
}

QUrl WebEngineDownload::url() const
{
    return m_request ? m_request->url() : QUrl();
}

QString WebEngineDownload::partPath() const
{
    return m_request ? QDir(m_request->downloadDirectory()).filePath(m_request->downloadFileName()) : QString();
}

QString WebEngineDownload::arrivingPath() const
{
    // The engine writes to a file of its own beside the target and renames it at the end.
    const QString engineFile = partPath() + QStringLiteral(".download");
    return QFileInfo::exists(engineFile) ? engineFile : partPath();
}

qint64 WebEngineDownload::received() const
{
    return m_request ? m_request->receivedBytes() : 0;
}

qint64 WebEngineDownload::total() const
{
    // The engine says 0 as well as -1 for a size the server did not give.
    if (!m_request || (m_request->totalBytes() <= 0 && m_request->state() != QWebEngineDownloadRequest::DownloadCompleted))
        return -1;
    return m_request->totalBytes();
}

DownloadItem::State WebEngineDownload::state() const
{
    // A request that went with its profile (a private one, dropped after its last page)
    // leaves the state it last had.
    if (!m_request)
        return m_lastState;
    switch (m_request->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        m_lastState = Completed;
        break;
    case QWebEngineDownloadRequest::DownloadCancelled:
        m_lastState = Cancelled;
        break;
    case QWebEngineDownloadRequest::DownloadInterrupted:
        m_lastState = Interrupted;
        break;
    default:
        m_lastState = m_request->isPaused() ? Paused : InProgress;
        break;
    }
    return m_lastState;
}

QString WebEngineDownload::error() const
{
    return m_request ? m_request->interruptReasonString() : QString();
}

bool WebEngineDownload::savedPage() const
{
    return m_request && m_request->isSavePageDownload();
}

void WebEngineDownload::pause()
{
    if (m_request)
        m_request->pause();
}

void WebEngineDownload::resume()
{
    if (m_request)
        m_request->resume();
}

void WebEngineDownload::cancel()
{
    if (m_request)
        m_request->cancel();
}

void WebEngineDownload::watch(QWebEngineProfile *profile, DownloadHandler *(*handler)())
{
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, [profile, handler](QWebEngineDownloadRequest *request) {
        DownloadHandler *program = handler();
        // After a break the engine tries again by itself and asks once more for the same
        // download: it goes on into its file and its row, without asking the user again.
        // Ids are counted per profile: the private profile's first download has the same
        // id as the user's first.
        static QHash<QPair<const void *, quint32>, QPointer<WebEngineDownload>> known;
        const QPair<const void *, quint32> key(profile, request->id());
        if (const QPointer<WebEngineDownload> earlier = known.value(key);
            earlier && request->state() == QWebEngineDownloadRequest::DownloadRequested && earlier->m_request != request) {
            const QFileInfo part(earlier->partPath());
            request->setDownloadDirectory(part.absolutePath());
            request->setDownloadFileName(part.fileName());
            request->accept();
            earlier->follow(request);
            emit earlier->changed();
            return;
        }
        // A page saved by the program arrives accepted already: followed, never cancelled.
        if (request->state() != QWebEngineDownloadRequest::DownloadRequested) {
            if (program)
                program->downloadStarted(new WebEngineDownload(request, QDir(request->downloadDirectory()).filePath(request->downloadFileName()), profile));
            return;
        }
        // The page it came from hears of it once it is answered, whatever the answer. (The
        // page may go while the user chooses.)
        QPointer<BrowserPage> from = qobject_cast<BrowserPage *>(request->page());
        const auto answered = qScopeGuard([from] {
            if (from)
                emit from->downloadAnswered();
        });
        // Unanswered, the engine cancels the request when this returns.
        const QString chosen = program ? program->chooseFile(request->suggestedFileName(), request->url()) : QString();
        if (chosen.isEmpty()) {
            request->cancel();
            return;
        }
        const QFileInfo target(chosen);
        request->setDownloadDirectory(target.absolutePath());
        request->setDownloadFileName(QFileInfo(program->partFileFor(target.absoluteFilePath())).fileName());
        request->accept();
        auto *download = new WebEngineDownload(request, target.absoluteFilePath(), profile);
        known.insert(key, download);
        program->downloadStarted(download);
    });
}

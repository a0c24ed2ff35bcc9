#pragma once

#include "../downloaditem.h"

#include <QPointer>
#include <QTimer>

class DownloadHandler;
class QWebEngineDownloadRequest;
class QWebEngineProfile;

// One download of the engine.
class WebEngineDownload : public DownloadItem
{
    Q_OBJECT

public:
    WebEngineDownload(QWebEngineDownloadRequest *request, const QString &finalPath, QObject *parent);

    QUrl url() const override;
    QString partPath() const override;
    QString finalPath() const override { return m_finalPath; }
    QString arrivingPath() const override;
    qint64 received() const override;
    qint64 total() const override;
    State state() const override;
    QString error() const override;
    bool savedPage() const override;
    void pause() override;
    void resume() override;
    void cancel() override;

    // Answers every download request of the profile: asks the handler where to, then lets it
    // run into NAME.part; a page being saved is only followed.
    static void watch(QWebEngineProfile *profile, DownloadHandler *(*handler)());

private:
    void follow(QWebEngineDownloadRequest *request);

    QPointer<QWebEngineDownloadRequest> m_request;
    QString m_finalPath;
    mutable State m_lastState = Cancelled;
    QTimer m_progress;
};

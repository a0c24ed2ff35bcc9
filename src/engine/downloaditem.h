#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// One download as the program follows it: into a file that ends in ".part" until it has
// all arrived. The engine reports through changed(); the program pauses, resumes, cancels.
class DownloadItem : public QObject
{
    Q_OBJECT

public:
    enum State { InProgress, Paused, Completed, Cancelled, Interrupted };

    using QObject::QObject;

    virtual QUrl url() const = 0;
    // NAME.part, which it is called until it has all arrived, and NAME, where it goes then.
    virtual QString partPath() const = 0;
    virtual QString finalPath() const = 0;
    // The file being written right now, which the engine may name by itself.
    virtual QString arrivingPath() const { return partPath(); }
    virtual qint64 received() const = 0;
    virtual qint64 total() const = 0; // -1 when the server did not say
    virtual State state() const = 0;
    virtual QString error() const = 0;
    // A page saved by the program itself: written straight to its file.
    virtual bool savedPage() const = 0;

    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void cancel() = 0;

signals:
    void changed();
};

// What the engine asks of the program about downloads.
class DownloadHandler
{
public:
    virtual ~DownloadHandler() = default;
    // A page asks to download: the file it should end up as (the user's choice), or empty to
    // refuse. Asked before anything is written.
    virtual QString chooseFile(const QString &suggestedName, const QUrl &url) = 0;
    // Where the chosen file arrives until it is complete (a name no file has).
    virtual QString partFileFor(const QString &finalPath) { return finalPath + QStringLiteral(".part"); }
    // A download began, asked for or a page being saved; the program follows it from now on.
    virtual void downloadStarted(DownloadItem *item) = 0;
};

#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

#include <memory>

class QWebEnginePage;
class QWebEngineProfile;

// What a page asks to use (camera, microphone, location, notifications, screen sharing), as
// SitePermissions numbers it, and the answer given back: one interface whatever the engine's
// version (Qt 6.8 replaced the per-feature calls of the page with permission objects).
class PermissionRequests : public QObject
{
    Q_OBJECT

public:
    explicit PermissionRequests(QWebEnginePage *page);

    // Answers every question of the page still open for that origin and feature.
    void answer(const QUrl &origin, int feature, bool granted);

    // A profile's engine asks us every time rather than answering by itself from what it
    // was told before: every page gets its site's answer as kept, and a local page (whose
    // origin the engine shares among all local files) its own.
    static void configure(QWebEngineProfile *profile);
    // An answer taken back by the user while the engine runs: it no longer holds for what
    // the engine keeps itself.
    static void revoke(QWebEngineProfile *profile, const QString &site, int feature);

signals:
    void asked(const QUrl &origin, int feature);
    // The page no longer waits for the answer (it went elsewhere).
    void withdrawn(const QUrl &origin, int feature);

private:
    struct Question;
    void forgetGone();

    QWebEnginePage *m_page;
    // The questions still open, where the engine wants the answer through the question.
    QList<std::shared_ptr<Question>> m_open;
};

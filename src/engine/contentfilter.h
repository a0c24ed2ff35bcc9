#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QObject;

// What the engine asks before a request leaves and before a document is painted: whether
// to block the request, and which elements to hide. The program's ad filter answers.
class ContentFilter
{
public:
    enum class Resource { Document, Subdocument, Script, Image, Stylesheet, XmlHttpRequest, Font, Media, Ping,
                          WebSocket, Object, Other };

    virtual ~ContentFilter() = default;

    // For every request, from whatever thread the engine asks on. `source` is the page or frame
    // that makes the request (its origin will do), `topLevel` the page in the tab; either
    // may be empty.
    virtual bool blocksRequest(const QUrl &url, const QUrl &source, const QUrl &topLevel, Resource type) const = 0;
    // A style sheet of rules that hide elements on documents of `page` (empty: none).
    virtual QString hidingStyleSheet(const QUrl &page) const = 0;
    // Runs `then` on the interface thread once the filter answers from its rules (at once
    // when it does now), unless `context` is gone by then. Until that time requests are
    // blocked, never waited for: a page starts its navigation from here instead.
    virtual void whenReady(QObject *context, std::function<void()> then) { (void)context, then(); }
};

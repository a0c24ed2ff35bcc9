#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

class ContentFilter;

// Puts every request of the profile to the program's content filter before it leaves: a
// blocked request never reaches the network.
class RequestBlocker : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setFilter(ContentFilter *filter) { m_filter.store(filter); }
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    std::atomic<ContentFilter *> m_filter{nullptr};
};

#pragma once

#include "../embeddedwb.h"

#include <QObject>

class WebEnginePlugin : public QObject, public EngineFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SablixEngineFactory_iid)
    Q_INTERFACES(EngineFactory)

public:
    TEmbeddedWB *createBrowser(QWidget *parent) override;
    TEmbeddedWB *createPrivateBrowser(QWidget *parent) override;
    void warmUp() override;
    void setContentFilter(ContentFilter *filter) override;
    BrowsingData *browsingData() override;
    void setDownloadHandler(DownloadHandler *handler) override;
    void addFrameScript(const QString &source) override;
    void shutdown() override;
    EngineVersions versions() override;
    void setEnhancedSecurity(bool on) override;
    // The loader calls what it was given itself.
    void setBeforeStart(std::function<void()>) override {}
    void setSpellChecking(bool on) override;
    bool setDarkPages(bool on) override;
};

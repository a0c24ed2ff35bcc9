#pragma once

#include "embeddedwb.h"

#include <QPluginLoader>
#include <QString>
#include <QStringList>

// Loads the Qt WebEngine plugin when the first page is created, so that the window
// appears without the engine's libraries and their start-up work.
class EngineLoader : public EngineFactory
{
public:
    EngineLoader();
    ~EngineLoader() override;

    TEmbeddedWB *createBrowser(QWidget *parent) override;
    TEmbeddedWB *createPrivateBrowser(QWidget *parent) override;
    void setContentFilter(ContentFilter *filter) override;
    BrowsingData *browsingData() override;
    void setDownloadHandler(DownloadHandler *handler) override;
    void addFrameScript(const QString &source) override;
    void shutdown() override;
    // Empty when the engine's library cannot be loaded.
    EngineVersions versions() override;
    void setEnhancedSecurity(bool on) override;
    void setBeforeStart(std::function<void()> prepare) override { m_beforeStart = std::move(prepare); }
    void setSpellChecking(bool on) override;
    bool setDarkPages(bool on) override;

    // Starts the engine ahead of the first page, in two steps with the event loop between
    // them (input is handled in between). A page asked for meanwhile starts what is left of
    // it itself; nothing is done twice.
    void warmUp() override;
    bool isLoaded() const { return m_factory != nullptr; }
    QString errorString() const { return m_error; }

    static QString pluginPath();

private:
    bool load();

    QPluginLoader m_loader;
    EngineFactory *m_factory = nullptr;
    QString m_error;
    bool m_failed = false;
    bool m_warmed = false;
    ContentFilter *m_filter = nullptr;
    DownloadHandler *m_downloads = nullptr;
    QStringList m_frameScripts;
    std::function<void()> m_beforeStart;
    bool m_spellChecking = true;
    bool m_darkPages = false;
};

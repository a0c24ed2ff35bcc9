#include "engineloader.h"

#include "enginelog.h"

#include <QTimer>

#include <QCoreApplication>
#include <QFileInfo>

namespace {

const char *const kPluginFile = "libsablix-webengine.so";

} // namespace

EngineLoader::EngineLoader() = default;

EngineLoader::~EngineLoader()
{
    shutdown();
}

QString EngineLoader::pluginPath()
{
    const QString override = qEnvironmentVariable("SABLIX_ENGINE_PLUGIN");
    if (!override.isEmpty())
        return override;
    // Also before the application object exists (--version).
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                        : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    for (const QString &candidate : {appDir + "/" + kPluginFile,
                                     appDir + "/../lib/sablix/" + kPluginFile}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return appDir + "/" + kPluginFile;
}

bool EngineLoader::load()
{
    if (!m_factory && !m_failed) {
        m_loader.setFileName(pluginPath());
        m_factory = qobject_cast<EngineFactory *>(m_loader.instance());
        if (m_factory) {
            m_factory->setContentFilter(m_filter);
            m_factory->setDownloadHandler(m_downloads);
            for (const QString &script : std::as_const(m_frameScripts))
                m_factory->addFrameScript(script);
            m_factory->setSpellChecking(m_spellChecking);
            m_factory->setDarkPages(m_darkPages);
            if (m_beforeStart)
                m_beforeStart();
        }
        if (!m_factory) {
            m_failed = true;
            m_error = m_loader.errorString();
            qCWarning(lcEngine).noquote() << "the web engine could not be loaded:" << m_error;
        }
    }
    return m_factory != nullptr;
}

TEmbeddedWB *EngineLoader::createBrowser(QWidget *parent)
{
    if (!load())
        return nullptr;
    // The first page starts the engine itself; a later warm-up has nothing left to do.
    m_warmed = true;
    return m_factory->createBrowser(parent);
}

TEmbeddedWB *EngineLoader::createPrivateBrowser(QWidget *parent)
{
    if (!load())
        return nullptr;
    m_warmed = true;
    return m_factory->createPrivateBrowser(parent);
}

void EngineLoader::warmUp()
{
    if (m_warmed || m_failed)
        return;
    if (!m_factory) {
        QTimer::singleShot(0, [this] {
            if (load())
                QTimer::singleShot(0, [this] { warmUp(); });
        });
        return;
    }
    m_warmed = true;
    m_factory->warmUp();
}

BrowsingData *EngineLoader::browsingData()
{
    return load() ? m_factory->browsingData() : nullptr;
}

void EngineLoader::setContentFilter(ContentFilter *filter)
{
    m_filter = filter;
    if (m_factory)
        m_factory->setContentFilter(filter);
}

void EngineLoader::setDownloadHandler(DownloadHandler *handler)
{
    m_downloads = handler;
    if (m_factory)
        m_factory->setDownloadHandler(handler);
}

void EngineLoader::addFrameScript(const QString &source)
{
    m_frameScripts.append(source);
    if (m_factory)
        m_factory->addFrameScript(source);
}

EngineVersions EngineLoader::versions()
{
    return load() ? m_factory->versions() : EngineVersions();
}

void EngineLoader::setEnhancedSecurity(bool on)
{
    if (load())
        m_factory->setEnhancedSecurity(on);
}

void EngineLoader::shutdown()
{
    if (m_factory)
        m_factory->shutdown();
}

void EngineLoader::setSpellChecking(bool on)
{
    m_spellChecking = on;
    if (m_factory)
        m_factory->setSpellChecking(on);
}

bool EngineLoader::setDarkPages(bool on)
{
    m_darkPages = on;
    return !m_factory || m_factory->setDarkPages(on);
}

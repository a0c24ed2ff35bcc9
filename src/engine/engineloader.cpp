#include "engineloader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QOpenGLContext>

// Qt's own hook for the context that every OpenGL user of the process shares.
Q_GUI_EXPORT QOpenGLContext *qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

const char *const kPluginFile = "libsablix-webengine.so";

// The engine renders through a GL context shared process-wide. Qt makes it when the
// application starts if asked to (Qt::AA_ShareOpenGLContexts), which loads the GL driver
// and costs start-up time and memory for a window that shows no page yet. It is made here
// instead, just before the engine's libraries load.
void prepareSharedGraphics()
{
    if (qt_gl_global_share_context())
        return;
    // Lives as long as the process: the engine holds on to it until the very end.
    auto *context = new QOpenGLContext;
    context->create();
    qt_gl_set_global_share_context(context);
}

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
    const QString appDir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {appDir + "/" + kPluginFile,
                                     appDir + "/../lib/sablix/" + kPluginFile}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return appDir + "/" + kPluginFile;
}

TEmbeddedWB *EngineLoader::createBrowser(QWidget *parent)
{
    if (!m_factory && !m_failed) {
        prepareSharedGraphics();
        m_loader.setFileName(pluginPath());
        m_factory = qobject_cast<EngineFactory *>(m_loader.instance());
        if (!m_factory) {
            m_failed = true;
            m_error = m_loader.errorString();
            qWarning("sablix: the web engine could not be loaded: %s", qPrintable(m_error));
        }
    }
    return m_factory ? m_factory->createBrowser(parent) : nullptr;
}

void EngineLoader::shutdown()
{
    if (m_factory)
        m_factory->shutdown();
}

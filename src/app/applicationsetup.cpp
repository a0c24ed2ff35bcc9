#include "applicationsetup.h"

#include "desktoppalette.h"
#include "rootnotice.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QTranslator>

#include <dlfcn.h>
#include <thread>

namespace ApplicationSetup {
namespace {

QtMessageHandler g_nextHandler = nullptr;
// Joined at the latest when the program ends, also when it ends before the application
// object is made (no display), so that no thread is left running.
struct FontConfigurationLoad
{
    std::thread thread;
    void finish()
    {
        if (thread.joinable())
            thread.join();
    }
    ~FontConfigurationLoad() { finish(); }
} g_fontConfiguration;

// The engine loads as a plugin and composes pages in software: its advice to share an
// OpenGL context from the start does not apply, and is not for the user. Newer engines set
// the attribute themselves once loaded, and Qt then warns that it came late. Setting it
// before the application would make a GL context at every start.
void quietEngineAdvice(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")) ||
        message == QLatin1String("Attribute Qt::AA_ShareOpenGLContexts must be set before QCoreApplication is created."))
        return;
    // The switches after --webEngineArgs are taken into the variable (EngineSwitches).
    if (message.startsWith(QLatin1String("Note 'webEngineArgs' are overridden")))
        return;
    if (g_nextHandler)
        g_nextHandler(type, context, message);
}

// Set here for the application's start only, and taken back once the window system has
// read it: a program started from the browser (a downloaded file opened) gets the user's own.
bool g_glIntegrationChosen = false;

} // namespace

void beforeApplication()
{
    // Pages are composed in software (the engine gets no OpenGL with that scene graph), so
    // the window system's OpenGL integration is of no use; left to itself, it loads the GL
    // driver when the engine starts (on a Mesa system its software rasterizer, some 40 ms
    // and megabytes of memory) only to ask it a question.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        g_glIntegrationChosen = true;
    }
    // The engine's switches and dictionaries are put into the environment when it starts, and
    // the engine adds a driver setting of its own, while other threads read theirs (the
    // history's SQLite, the keyring's D-Bus). Adding a variable then moves the whole
    // environment, and a read beside it follows freed memory; named now, while this thread is
    // the only one, they are later given values in place.
    for (const char *name : {"QTWEBENGINE_CHROMIUM_FLAGS", "QTWEBENGINE_DICTIONARIES_PATH", "force_s3tc_enable"})
        if (!qEnvironmentVariableIsSet(name))
            qputenv(name, QByteArray());
    // Chromium's sandbox stays on; only a process running as root turns it off, as Qt
    // WebEngine refuses to start there otherwise. The window says so (RootNotice).
    if (RootNotice::sandboxOff())
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    // The first text the window lays out waits for the font configuration (a few ms of
    // reading and parsing); it is read on a second processor while the application
    // connects to the display. Qt's own call then finds it loaded (the library is made for
    // callers on several threads). Qt's GUI library brings the library in; asked by name,
    // no headers of its own are needed.
    if (auto load = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "FcInit")))
        g_fontConfiguration.thread = std::thread(load);
}

void afterApplication(QApplication &app)
{
    g_fontConfiguration.finish();
    if (g_glIntegrationChosen) {
        // The window system chooses its integration when first asked, and keeps it.
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QOpenGLContext::supportsThreadedOpenGL();
        qunsetenv("QT_XCB_GL_INTEGRATION");
        g_glIntegrationChosen = false;
    }
    // The engine reports its GL set-up on every start; that is not for the user.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    g_nextHandler = qInstallMessageHandler(quietEngineAdvice);
    DesktopPalette::follow(app);
    QApplication::setApplicationName(QStringLiteral("sablix"));
    QApplication::setApplicationVersion(QLatin1String(kVersion));
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace ApplicationSetup

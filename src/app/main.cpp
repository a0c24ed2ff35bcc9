#include "../adblock/filterlists.h"
#include "../engine/engineloader.h"
#include "applicationsetup.h"
#include "../core/configstore.h"
#include "../instance/forwardingrules.h"
#include "../instance/instanceforwarder.h"
#include "../instance/instancelock.h"
#include "../instance/instanceserver.h"
#include "../window/mainform.h"
#include "program.h"
#include "programfolder.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QIcon>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Resizes and maximise/restore after this are the user's own.
constexpr int kStartupSettleMs = 500;
constexpr int kWarmUpMs = 150;

// What sablix runs on, without a window and without starting the engine.
int printVersions()
{
    EngineLoader engine;
    const EngineVersions versions = engine.versions();
    for (const QString &line : EngineAge::describe(QLatin1String(ApplicationSetup::kVersion), versions))
        std::printf("%s\n", line.toLocal8Bit().constData());
    if (versions.chromium.isEmpty()) {
        std::fprintf(stderr, "%s\n", engine.errorString().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return printVersions();
    // The engine's switches are composed into this variable before it starts: a restart
    // gets the user's own back, to compose anew.
    const char *const userFlags = std::getenv("QTWEBENGINE_CHROMIUM_FLAGS");
    const std::optional<QByteArray> userEngineFlags =
        userFlags ? std::make_optional(QByteArray(userFlags)) : std::nullopt;

    const QString programFolder = ProgramFolder::locate();
    const QString configPath = programFolder + QStringLiteral("Config.ini");

    // Single instance: with another instance running and RunOne "1" (also when there is no
    // Config.ini yet: a first run's second start forwards too), this start hands its command
    // line over and ends.
    auto lock = std::make_optional<InstanceLock>();
    const bool anotherRuns = lock->acquire();
    if (anotherRuns) {
        const ConfigStore config(configPath);
        if (config.readString(kRunData, QStringLiteral("RunOne"), QStringLiteral("1")).trimmed() == QLatin1String("1")) {
            QCoreApplication forwarder(argc, argv);
            return InstanceForwarder::forward(forwarder.arguments().mid(1));
        }
    }

    ApplicationSetup::beforeApplication();
    QApplication app(argc, argv);
    ApplicationSetup::afterApplication(app);
    // The ad filter's lists are read on the second processor while the window is made, so
    // that the engine's start does not share one with them.
    FilterLists::beginFirstLoad();
    // The window goes up with the small icons; the large one (a quarter of a megabyte for
    // the X server once decoded) follows once the window is on screen.
    QIcon icon;
    for (const char *size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/icons/sablix-%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("sablix"));

    TerminationSignals termination;
    EngineLoader engine;

    auto program = std::make_unique<Program>(programFolder, &engine);
    const QStringList own = app.arguments().mid(1);
    program->start(!own.isEmpty());
    TQORMainForm *mainForm = program->mainForm();

    ForwardingRules *forwarding = program->forwarding();
    auto server = std::make_optional<InstanceServer>([forwarding](const QString &text) { forwarding->handle(text); });
    QObject::connect(&termination, &TerminationSignals::terminationRequested, mainForm, &QWidget::close);
    QObject::connect(mainForm, &TQORMainForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    mainForm->showAsConfigured();
    // A first start opens its own command line (a link clicked in another program) the way
    // a second start's would arrive, in order, once the window is up; then it listens, so
    // that forwarded addresses come after them.
    QTimer::singleShot(0, mainForm, [forwarding, own, &server] {
        for (const QString &argument : own)
            forwarding->handle(InstanceForwarder::resolveArgument(argument));
        server->listen();
    });
    QTimer::singleShot(0, &app, [icon]() mutable {
        icon.addFile(QStringLiteral(":/icons/sablix-256.png"));
        QApplication::setWindowIcon(icon);
    });
    QTimer::singleShot(kStartupSettleMs, mainForm, &TQORMainForm::finishStartup);
    // Once the window is on screen and idle, the engine starts, so that the first page
    // does not wait for it.
    QTimer::singleShot(kWarmUpMs, &app, [&engine] { engine.warmUp(); });

    const int result = app.exec();

    // Pages go before the engine's profile, the profile before the application.
    program->shutdown();
    engine.shutdown();
    const bool restart = program->restartRequested();
    const QStringList reopen = program->restartAddresses();
    program.reset();
    if (restart) {
        // The new start must find no instance to hand its command line to.
        server.reset();
        lock.reset();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (userEngineFlags)
            environment.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QString::fromLocal8Bit(*userEngineFlags));
        else
            environment.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));
        QProcess again;
        again.setProgram(QCoreApplication::applicationFilePath());
        again.setProcessEnvironment(environment);
        again.setArguments(reopen);
        again.startDetached();
    }
    return result;
}

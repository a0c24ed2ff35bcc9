// Start-up benchmark: starts each program N times on the current X display, each time with
// a fresh program folder and fresh per-user folders, and reports the median time from
// exec to its first mapped window and the process's PSS (a second after the window maps),
// the programs taking turns run by run, and each median against the first program's.
//   startup_bench RUNS NAME=PROGRAM [NAME=PROGRAM ...]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

struct Sample
{
    double ms = 0;
    double pssMiB = 0;
};

double pssOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

bool waitForMap(xcb_connection_t *connection, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const bool mapped = (event->response_type & ~0x80) == XCB_MAP_NOTIFY;
            free(event);
            if (mapped)
                return true;
        }
        QThread::usleep(200);
    }
    return false;
}

Sample runOnce(xcb_connection_t *connection, const QByteArray &program)
{
    QTemporaryDir root;
    for (const char *sub : {"program", "data", "config", "cache", "runtime", "home"})
        QDir(root.path()).mkpath(QLatin1String(sub));
    QFile::setPermissions(root.path() + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("SABLIX_HOME", (root.path() + "/program").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (root.path() + "/data").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (root.path() + "/config").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (root.path() + "/cache").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (root.path() + "/runtime").toLocal8Bit());
    qputenv("HOME", (root.path() + "/home").toLocal8Bit());

    xcb_flush(connection);
    while (xcb_generic_event_t *stale = xcb_poll_for_event(connection))
        free(stale);

    char *argv[] = {const_cast<char *>(program.constData()), nullptr};
    pid_t pid = 0;
    QElapsedTimer timer;
    timer.start();
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, argv, environ) != 0)
        return {};
    Sample sample;
    if (waitForMap(connection, 20000))
        sample.ms = double(timer.nsecsElapsed()) / 1e6;
    QThread::msleep(1000);
    sample.pssMiB = pssOf(pid);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return sample;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: startup_bench RUNS NAME=PROGRAM...\n");
        return 2;
    }
    const int runs = args[0].toInt();
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "startup_bench: no X display\n");
        return 2;
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    struct Program
    {
        QString name;
        QByteArray path;
        std::vector<double> times;
        std::vector<double> pss;
    };
    std::vector<Program> programs;
    for (const QString &entry : args.mid(1))
        programs.push_back({entry.section('=', 0, 0), entry.section('=', 1).toLocal8Bit(), {}, {}});
    for (Program &program : programs)
        runOnce(connection, program.path); // warm the file cache
    // The programs take turns run by run, so that a machine busy with other work weighs on
    // each alike.
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        for (Program &program : programs) {
            const Sample sample = runOnce(connection, program.path);
            if (sample.ms <= 0) {
                ok = false;
                continue;
            }
            program.times.push_back(sample.ms);
            program.pss.push_back(sample.pssMiB);
        }
    }

    QTextStream out(stdout);
    out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
               .arg("program", -18)
               .arg("map median ms", 14)
               .arg("min", 8)
               .arg("max", 8)
               .arg("PSS median MiB", 15)
               .arg("vs first", 9);
    const double first = median(programs.front().times);
    for (const Program &program : programs) {
        const double ms = median(program.times);
        out << QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                   .arg(program.name, -18)
                   .arg(ms, 14, 'f', 1)
                   .arg(program.times.empty() ? 0 : *std::min_element(program.times.begin(), program.times.end()), 8, 'f', 1)
                   .arg(program.times.empty() ? 0 : *std::max_element(program.times.begin(), program.times.end()), 8, 'f', 1)
                   .arg(median(program.pss), 15, 'f', 1)
                   .arg(first > 0 ? ms / first : 0, 8, 'f', 2);
    }
    // The aim: sablix's window on screen within 1.3 times the bare window's time.
    for (const Program &program : programs)
        if (program.name == QLatin1String("sablix") && first > 0) {
            const double ratio = median(program.times) / first;
            out << QStringLiteral("aim: sablix <= 1.30x %1: %2x %3\n")
                       .arg(programs.front().name)
                       .arg(ratio, 0, 'f', 2)
                       .arg(ratio <= 1.3 ? QStringLiteral("met") : QStringLiteral("NOT met"));
        }
    out.flush();
    xcb_disconnect(connection);
    return ok ? 0 : 1;
}

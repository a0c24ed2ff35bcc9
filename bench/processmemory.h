#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <functional>

#include <unistd.h>

// PSS of this process and every process below it (the engine's helper processes), in MiB.
inline double treePssMiB()
{
    QHash<int, int> parents;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // The command may contain blanks; the fields after it start at the last ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        parents.insert(pid, fields.value(1).toInt());
    }
    QSet<int> tree{int(::getpid())};
    for (bool grew = true; grew;) {
        grew = false;
        for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
            if (!tree.contains(it.key()) && tree.contains(it.value())) {
                tree.insert(it.key());
                grew = true;
            }
        }
    }
    double total = 0;
    for (int pid : tree) {
        QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!rollup.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : rollup.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                total += line.mid(4).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return total;
}

// Counts loaded pages; once all have loaded, prints "loaded", then, two seconds later (or
// BENCH_STAY_MS) when the engine has settled, "pss_mib" of the process tree, and ends the program.
class LoadCounter
{
public:
    explicit LoadCounter(int expected) : m_expected(expected) {}

    // Started when the pages are asked for: "open_to_loaded_ms" says how long they took.
    QElapsedTimer opened;
    // When set, runs after "pss_mib" instead of ending the program; `done` ends it.
    std::function<void(std::function<void()> done)> then;

    void pageLoaded()
    {
        if (++m_loaded != m_expected)
            return;
        std::printf("loaded\n");
        if (opened.isValid())
            std::printf("open_to_loaded_ms %lld\n", opened.elapsed());
        std::fflush(stdout);
        // BENCH_STAY_MS keeps the program a while longer (the idle benchmark watches it).
        const int stay = qEnvironmentVariableIsSet("BENCH_STAY_MS") ? qEnvironmentVariableIntValue("BENCH_STAY_MS") : 2000;
        QTimer::singleShot(stay, [this] {
            std::printf("pss_mib %.1f\n", treePssMiB());
            std::fflush(stdout);
            if (then)
                then([] { QCoreApplication::quit(); });
            else
                QCoreApplication::quit();
        });
    }

private:
    int m_expected;
    int m_loaded = 0;
};

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One thing fuzzed: `check` takes any bytes and aborts (FUZZ_REQUIRE) when something that
// must hold does not; `tokens` are pieces the mutator likes to insert.
struct FuzzTarget
{
    const char *name;
    void (*check)(const QByteArray &input);
    QList<QByteArray> tokens;
};

namespace FuzzTargets {
const FuzzTarget *find(const QString &name);
}

#define FUZZ_REQUIRE(condition)                                                                                        \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            qFatal("fuzz: %s does not hold (%s:%d)", #condition, __FILE__, __LINE__);                                  \
        }                                                                                                              \
    } while (false)

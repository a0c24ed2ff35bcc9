#pragma once

#include <QStringList>

// A second start hands its command line to the running instance: each argument in order,
// each handled before the next is sent, or "0***0" without arguments. Returns the exit
// code of the process: 0 when everything was handed over.
namespace InstanceForwarder {

constexpr int kWaitMs = 30000;

int forward(const QStringList &arguments, int waitMs = kWaitMs);

// A relative path of an existing file becomes absolute against this process's folder,
// since the running instance has a working folder of its own.
QString resolveArgument(const QString &argument);

} // namespace InstanceForwarder

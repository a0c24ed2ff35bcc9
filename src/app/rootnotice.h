#pragma once

class QWidget;

// The bar that tells a user running as root that the engine's sandbox is off (the engine
// does not start as root with it on): the pages then run with root's rights.
namespace RootNotice {

// Whether this process runs as root, which turns the sandbox off before the engine starts.
bool sandboxOff();

// The bar, or nullptr when the sandbox is on. Its × closes it for the run.
QWidget *make();

} // namespace RootNotice

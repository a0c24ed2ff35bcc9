#pragma once

class QApplication;

// What the program sets up around its application object; the engine tests share it.
namespace ApplicationSetup {

inline constexpr char kVersion[] = "1.3.2";

// Before the application object: the engine's sandbox rule and the interface's locale; the
// font configuration starts loading on another thread meanwhile.
void beforeApplication();

// After it: names and Qt's own translations (dialog buttons read 是/否, 确定); the font
// configuration is loaded.
void afterApplication(QApplication &app);

} // namespace ApplicationSetup

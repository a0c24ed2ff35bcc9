#pragma once

class QApplication;

// The program's own windows follow the desktop when it is dark. Qt 6.4's palette on X11 is
// the light one unless a platform theme says otherwise; the desktop says what it prefers in
// GTK_THEME ("Adwaita:dark") and in GNOME's settings (color-scheme "prefer-dark", or a dark
// GTK theme).
namespace DesktopPalette {

bool desktopPrefersDark();
// Gives the application a dark palette (in the Fusion style, which paints by its palette)
// when the desktop prefers dark and the palette Qt chose is light.
void follow(QApplication &app);

} // namespace DesktopPalette

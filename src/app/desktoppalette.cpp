#include "desktoppalette.h"

// Before Qt's headers: GLib names a member "signals", which Qt defines as a word of its own.
#include <gio/gio.h>

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace DesktopPalette {
namespace {

bool isDarkThemeName(const QString &theme)
{
    return theme.endsWith(QLatin1String(":dark"), Qt::CaseInsensitive) ||
           theme.endsWith(QLatin1String("-dark"), Qt::CaseInsensitive);
}

// GNOME's interface settings, when the schema is installed (looked up first: GSettings
// aborts on a schema it does not know).
bool gnomePrefersDark()
{
    GSettingsSchemaSource *source = g_settings_schema_source_get_default();
    if (!source)
        return false;
    GSettingsSchema *schema = g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE);
    if (!schema)
        return false;
    GSettings *settings = g_settings_new_full(schema, nullptr, nullptr);
    bool dark = false;
    if (g_settings_schema_has_key(schema, "color-scheme")) {
        gchar *scheme = g_settings_get_string(settings, "color-scheme");
        dark = qstrcmp(scheme, "prefer-dark") == 0;
        g_free(scheme);
    }
    if (!dark && g_settings_schema_has_key(schema, "gtk-theme")) {
        gchar *theme = g_settings_get_string(settings, "gtk-theme");
        dark = isDarkThemeName(QString::fromUtf8(theme));
        g_free(theme);
    }
    g_object_unref(settings);
    g_settings_schema_unref(schema);
    return dark;
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette()
{
    QPalette palette;
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(230, 230, 230);
    const QColor disabled(128, 128, 128);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, QColor(255, 100, 100));
    palette.setColor(QPalette::Light, QColor(70, 70, 74));
    palette.setColor(QPalette::Midlight, QColor(58, 58, 62));
    palette.setColor(QPalette::Mid, QColor(38, 38, 40));
    palette.setColor(QPalette::Dark, QColor(20, 20, 22));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(42, 110, 190));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(110, 170, 255));
    palette.setColor(QPalette::LinkVisited, QColor(180, 140, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

} // namespace

bool desktopPrefersDark()
{
    const QString gtkTheme = qEnvironmentVariable("GTK_THEME");
    if (!gtkTheme.isEmpty())
        return isDarkThemeName(gtkTheme);
    return gnomePrefersDark();
}

void follow(QApplication &app)
{
    if (isDark(QApplication::palette()) || !desktopPrefersDark())
        return;
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
    QApplication::setPalette(darkPalette());
}

} // namespace DesktopPalette

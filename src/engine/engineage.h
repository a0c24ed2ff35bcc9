#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// What the engine is, as it reports itself at run time (its library may be newer than the
// one sablix was built with).
struct EngineVersions
{
    QString qtWebEngine;
    QString chromium;
    // The Chromium release whose security fixes the engine carries.
    QString securityPatch;
};

// How old the engine's security fixes are. Chromium has a major release every four weeks;
// the engine says which release its fixes come from, not when.
namespace EngineAge {

inline constexpr int kLimitDays = 180;

// 108 came out on 29 November 2022; the others four weeks apart from it.
QDate estimatedReleaseDate(int major);
// The major version of "108.0.5359.94"; 0 when there is none.
int majorOf(const QString &version);
// The estimated date of the engine's security fixes (its Chromium's when it does not name
// them); invalid when it says neither.
QDate patchDate(const EngineVersions &versions);
// The age beyond which the engine counts as outdated: kLimitDays, or for tests only
// SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS.
int limitDays();
bool isOutdated(const EngineVersions &versions, const QDate &today);

// The program's, Qt's and the engine's versions, one fact a line, for --version and the
// about box.
QStringList describe(const QString &programVersion, const EngineVersions &versions);

} // namespace EngineAge

// The switches the engine starts with: the user's (QTWEBENGINE_CHROMIUM_FLAGS, or what
// follows --webEngineArgs on the command line) less those that bring code into the engine,
// then ours.
namespace EngineSwitches {

// A switch that loads plugins or extensions: a page could start what it names.
bool loadsCode(const QString &argument);
// The switches to start with; what was left out goes to `dropped`. With enhanced security:
// JavaScript without its compiler (which leaves no WebAssembly), no WebGL, a process per site.
QStringList compose(const QStringList &user, bool enhancedSecurity, QStringList *dropped);
// QTWEBENGINE_CHROMIUM_FLAGS read and written the way the engine reads it.
QStringList split(const QString &flags);
QString join(const QStringList &switches);
// Sets QTWEBENGINE_CHROMIUM_FLAGS for the engine, with a warning for each switch left out.
// Before the engine starts; it reads the variable once.
void apply(bool enhancedSecurity);

} // namespace EngineSwitches

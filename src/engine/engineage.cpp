#include "engineage.h"

#include "enginelog.h"

#include <QCoreApplication>

namespace EngineAge {

QDate estimatedReleaseDate(int major)
{
    return QDate(2022, 11, 29).addDays(qint64(major - 108) * 28);
}

int majorOf(const QString &version)
{
    bool ok = false;
    const int major = version.section(QLatin1Char('.'), 0, 0).trimmed().toInt(&ok);
    return ok && major > 0 ? major : 0;
}

QDate patchDate(const EngineVersions &versions)
{
    int major = majorOf(versions.securityPatch);
    if (!major)
        major = majorOf(versions.chromium);
    return major ? estimatedReleaseDate(major) : QDate();
}

int limitDays()
{
    bool ok = false;
    const int days = qEnvironmentVariableIntValue("SABLIX_TEST_ENGINE_AGE_LIMIT_DAYS", &ok);
    return ok ? days : kLimitDays;
}

bool isOutdated(const EngineVersions &versions, const QDate &today)
{
    const QDate patched = patchDate(versions);
    return patched.isValid() && patched.daysTo(today) > limitDays();
}

QStringList describe(const QString &programVersion, const EngineVersions &versions)
{
    auto known = [](const QString &value) { return value.isEmpty() ? QStringLiteral("未知") : value; };
    QString patch = known(versions.securityPatch);
    const QDate patched = patchDate(versions);
    if (!versions.securityPatch.isEmpty() && patched.isValid())
        patch += QStringLiteral("（约 %1）").arg(patched.toString(QStringLiteral("yyyy-MM")));
    return {QStringLiteral("sablix %1").arg(programVersion),
            QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion())),
            QStringLiteral("Qt WebEngine %1").arg(known(versions.qtWebEngine)),
            QStringLiteral("Chromium %1").arg(known(versions.chromium)),
            QStringLiteral("Chromium 安全补丁 %1").arg(patch)};
}

} // namespace EngineAge

namespace EngineSwitches {
namespace {

const char kFlagsVariable[] = "QTWEBENGINE_CHROMIUM_FLAGS";

// The switch's name without its dashes and value; empty for what is not a switch. The engine
// takes "-name" as well as "--name".
QString nameOf(const QString &argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("--"))
        return {};
    const int start = argument.startsWith(QLatin1String("--")) ? 2 : 1;
    return argument.mid(start).section(QLatin1Char('='), 0, 0).toLower();
}

} // namespace

bool loadsCode(const QString &argument)
{
    const QString name = nameOf(argument);
    return name == QLatin1String("register-pepper-plugins") || name.startsWith(QLatin1String("ppapi"))
        || name == QLatin1String("load-extension");
}

QStringList compose(const QStringList &user, bool enhancedSecurity, QStringList *dropped)
{
    QStringList switches;
    QStringList jsFlags;
    for (qsizetype i = 0; i < user.size(); ++i) {
        const QString &argument = user.at(i);
        // Nothing after a bare "--" is a switch; ours would not be either.
        if (argument == QLatin1String("--")) {
            if (dropped)
                *dropped += user.mid(i);
            break;
        }
        if (loadsCode(argument)) {
            if (dropped)
                dropped->append(argument);
            continue;
        }
        // The last of several counts: the user's JavaScript flags go with ours.
        if (enhancedSecurity && nameOf(argument) == QLatin1String("js-flags")) {
            jsFlags.append(argument.section(QLatin1Char('='), 1));
            continue;
        }
        switches.append(argument);
    }
    if (enhancedSecurity) {
        jsFlags.append(QStringLiteral("--jitless"));
        jsFlags.removeAll(QString());
        switches << QStringLiteral("--js-flags=") + jsFlags.join(QLatin1Char(' '))
                 << QStringLiteral("--site-per-process") << QStringLiteral("--disable-webgl");
    }
    return switches;
}

QStringList split(const QString &flags)
{
    // As the engine splits it: spaces separate, and a quote opens or closes a stretch
    // in which they do not.
    QStringList arguments;
    QString argument;
    bool quoted = false;
    bool inArgument = false;
    for (const QChar c : flags) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inArgument = true;
        } else if (c == QLatin1Char(' ') && !quoted) {
            if (inArgument && !argument.isEmpty())
                arguments.append(argument);
            argument.clear();
            inArgument = false;
        } else {
            argument += c;
            inArgument = true;
        }
    }
    if (!argument.isEmpty())
        arguments.append(argument);
    return arguments;
}

QString join(const QStringList &switches)
{
    QStringList quoted;
    for (const QString &argument : switches)
        quoted.append(argument.contains(QLatin1Char(' ')) ? QLatin1Char('"') + argument + QLatin1Char('"') : argument);
    return quoted.join(QLatin1Char(' '));
}

void apply(bool enhancedSecurity)
{
    // The engine reads the variable when it is set (even empty) and the command line's
    // switches after --webEngineArgs only when it is not: it is always set, with both.
    QStringList user;
    if (qEnvironmentVariableIsSet(kFlagsVariable)) {
        user = split(qEnvironmentVariable(kFlagsVariable));
    } else if (QCoreApplication::instance()) {
        const QStringList arguments = QCoreApplication::arguments();
        for (qsizetype i = 1; i < arguments.size(); ++i)
            if (arguments.at(i).compare(QLatin1String("--webEngineArgs"), Qt::CaseInsensitive) == 0) {
                user = arguments.mid(i + 1);
                break;
            }
    }
    QStringList dropped;
    const QStringList switches = compose(user, enhancedSecurity, &dropped);
    for (const QString &argument : std::as_const(dropped))
        qCWarning(lcEngine).noquote() << "the engine starts without" << argument
                                      << "(switches that load plugins or extensions, and what follows a bare --, are left out)";
    qputenv(kFlagsVariable, join(switches).toLocal8Bit());
}

} // namespace EngineSwitches

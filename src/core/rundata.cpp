#include "rundata.h"

#include "configstore.h"
#include "inidocument.h"

RunData RunData::load(const IniDocument &ini)
{
    auto read = [&ini](const char *key, const QString &fallback) {
        return ini.value(kRunData, QString::fromLatin1(key)).value_or(fallback);
    };
    auto on = [](const QString &value) { return value.trimmed() == QLatin1String("1"); };

    RunData data;
    data.stopListAd = on(read("StopListAd", QStringLiteral("1")));
    data.cleanOnExit = on(read("CleanOnExit", QStringLiteral("0")));
    data.plainHotKeys = on(read("PlainHotKeys", QStringLiteral("0")));
    // Anything but "0" keeps spelling on: it is on unless turned off.
    data.spellCheck = read("SpellCheck", QStringLiteral("1")).trimmed() != QLatin1String("0");
    data.darkPages = on(read("DarkPages", QStringLiteral("0")));
    data.httpsFirst = on(read("HttpsFirst", QStringLiteral("0")));
    // Written by hand only: what is not a number counts as 0 (never rest).
    if (const std::optional<QString> minutes = ini.value(kRunData, QStringLiteral("IdlePageMinutes")))
        data.idlePageMinutes = minutes->trimmed().toInt();
    const QString enhanced = read("EnhancedSecurity", QString()).trimmed();
    if (enhanced == QLatin1String("1") || enhanced == QLatin1String("0"))
        data.enhancedSecurity = enhanced == QLatin1String("1");
    data.engineNoticeShown = QDate::fromString(read("EngineNoticeShown", QString()).trimmed(), Qt::ISODate);
    const QString windowMax = read("WindowMax", QStringLiteral("1"));
    const QString searchOn = read("SearchOn", QStringLiteral("1"));

    if (!(data.top = parseStrictInteger(read("MainFormTop", QStringLiteral("57")))))
        return data;
    if (!(data.left = parseStrictInteger(read("MainFormLeft", QStringLiteral("10")))))
        return data;
    if (!(data.width = parseStrictInteger(read("MainFormWidth", QStringLiteral("793")))))
        return data;
    if (!(data.height = parseStrictInteger(read("MainFormHeight", QStringLiteral("509")))))
        return data;

    data.reachedSettings = true;
    const QString stopPopup = read("StopPopup", QStringLiteral("1"));
    const QString stopFloatAd = read("StopFloatAd", QStringLiteral("1"));
    const QString stopFlashAd = read("StopFlashAd", QStringLiteral("1"));
    data.leftClickSleepTime = parseLenientInteger(read("LClickSleepTime", QStringLiteral("500")), 500);
    data.rightClickSleepTime = parseLenientInteger(read("RClickSleepTime", QStringLiteral("3000")), 3000);
    data.hidePanelExtended2 = read("PanelExtended2", QStringLiteral("1")) == QLatin1String("0");
    data.hidePanelExtended3 = read("PanelExtended3", QStringLiteral("1")) == QLatin1String("0");

    if (!(data.searchOn = parseStrictInteger(searchOn)))
        return data;
    data.windowMax = on(windowMax);
    data.stopPopup = on(stopPopup);
    data.stopFloatAd = on(stopFloatAd);
    data.stopFlashAd = on(stopFlashAd);
    return data;
}

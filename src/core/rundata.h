#pragma once

#include <QDate>

#include <optional>

class IniDocument;

// The RunData settings as start-up applies them, read once in their order. A window bound
// or SearchOn that is not a decimal integer ends the load there: that value and every
// later one keep their designed state (unset here).
struct RunData
{
    std::optional<int> top, left, width, height;
    // Read once the four bounds were integers.
    bool reachedSettings = false;
    int leftClickSleepTime = 500;
    int rightClickSleepTime = 3000;
    bool hidePanelExtended2 = false;
    bool hidePanelExtended3 = false;
    std::optional<int> searchOn;
    // Applied only when SearchOn was an integer.
    bool windowMax = false;
    bool stopPopup = false;
    bool stopFloatAd = false;
    bool stopFlashAd = false;

    // sablix's own keys, read whatever happened above.
    bool stopListAd = true;
    bool cleanOnExit = false;
    bool plainHotKeys = false;
    bool spellCheck = true;
    bool darkPages = false;
    bool httpsFirst = false;
    std::optional<int> idlePageMinutes;
    // EnhancedSecurity "1" or "0" when the user chose; unset, it follows the engine's age.
    std::optional<bool> enhancedSecurity;
    // When the notice of the engine's age last showed (EngineNoticeShown, yyyy-MM-dd).
    QDate engineNoticeShown;

    static RunData load(const IniDocument &ini);
};

#pragma once

// Opens a blank page the way the address bar does (the active one when it shows nothing,
// else a new one); false when no page could be had. Handed to the page commands by the root.
class BlankPageOpener
{
public:
    virtual ~BlankPageOpener() = default;
    virtual bool openBlankPage(bool isPrivate = false) = 0;
};

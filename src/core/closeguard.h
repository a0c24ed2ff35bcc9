#pragma once

// Something that may hold the window open when it is about to close (running downloads
// ask the user first): false keeps it open.
class CloseGuard
{
public:
    virtual ~CloseGuard() = default;
    virtual bool mayClose() = 0;
};

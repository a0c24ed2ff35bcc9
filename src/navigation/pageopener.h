#pragma once

#include "../pages/blankpageopener.h"

#include "../pages/formwebbrowser.h"

class AddressBox;
class StatusLine;

// Where new addresses go: a new blank page as the blank-page command makes it, or the
// active page while it shows nothing. One owner for the rule that Go and Search share.
class PageOpener : public BlankPageOpener
{
public:
    PageOpener(TFormWebbrowser *pages, AddressBox *address, StatusLine *status);

    // A new blank page, made active; the address box shows "about:blank", the status line
    // is emptied and the box takes the keyboard. False when no page could be opened.
    bool openBlankPage(bool isPrivate = false) override;
    // The same, for an address the caller sends it at once: it does not load "about:blank"
    // first (with no page open, the first address would otherwise wait for that document,
    // which the engine makes and throws away).
    bool openPageForAddress();

    // The active page while its address is empty or "about:blank" (and, when `busyCounts`,
    // it is not loading); otherwise a new page, private when the active page is. A new page
    // does not load "about:blank" first: the caller sends it its address at once.
    // Nothing when no page could be had.
    const TFormWebbrowser::PageView *targetPage(bool busyCounts);

private:
    bool openPage(bool isPrivate, quint8 mode);

    TFormWebbrowser *m_pages;
    AddressBox *m_address;
    StatusLine *m_status;
};

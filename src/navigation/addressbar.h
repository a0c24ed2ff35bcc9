#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

struct ActivePageState;
class AddressBox;
class PageOpener;
class QCompleter;
class QStringListModel;
class TFormWebbrowser;
class TypedUrls;

// The address bar: Go with its normalisation and its choice between the current page and
// a new one, the completion keys, back, forward, home and dropped text. The box's text and
// history belong to AddressBox.
class AddressBar : public QObject
{
    Q_OBJECT

public:
    AddressBar(TFormWebbrowser *pages, PageOpener *opener, AddressBox *address);

    // BBGO: opens what the address box holds.
    void Go();
    // Names typed without a scheme are tried over https first, and over http when that
    // cannot be had (优先使用 HTTPS; off unless chosen).
    void setHttpsFirst(bool on) { m_httpsFirst = on; }
    // Puts an address into the box and runs Go: how other commands open addresses.
    void openAddress(const QString &address);
    // Ctrl+Enter, Alt+Enter, Shift+Enter; other modifier sets do nothing.
    void complete(Qt::KeyboardModifiers modifiers);
    void SBPClick();
    void SBNClick();
    void GoHome();
    // Text dropped on the window: an address opens in a new page, anything else is searched.
    void dropText(const QString &text);
    // The box shows the page that has become the active one; a page that shows nothing and
    // is not loading gets the keyboard in the box, for typing.
    void showActivePage(const ActivePageState &state);

    TypedUrls *typedUrls() const { return m_typedUrls; }
    // Forgets the typed addresses (their file too).
    void clearTypedUrls();
    // More addresses to suggest beside the typed ones (the favorites).
    void setMoreSuggestions(const QStringList &addresses);

signals:
    void searchRequested(const QString &text);

private:
    TFormWebbrowser *m_pages;
    PageOpener *m_opener;
    AddressBox *m_address;
    void refreshSuggestions();

    TypedUrls *m_typedUrls;
    QCompleter *m_completer;
    QStringListModel *m_suggestions;
    QStringList m_moreSuggestions;
    bool m_httpsFirst = false;
};

#pragma once

#include <QObject>
#include <QStringList>

class QCompleter;
class TQORMainForm;
class TypedUrls;

// The address bar: Go with its normalisation and its choice between the current page and
// a new one, the completion keys, back, forward, home, dropped text, and the address
// history of the drop-down list (no duplicates, written at shutdown).
class AddressBar : public QObject
{
    Q_OBJECT

public:
    explicit AddressBar(TQORMainForm *mainForm);

    // BBGO: opens what the address box holds.
    void Go();
    // Puts an address into the box and runs Go: how other commands open addresses.
    void openAddress(const QString &address);
    // Ctrl+Enter, Alt+Enter, Shift+Enter; other modifier sets do nothing.
    void complete(Qt::KeyboardModifiers modifiers);
    void SBPClick();
    void SBNClick();
    void GoHome();
    void dropText(const QString &text);
    void focusAddress();

    QStringList history() const;
    TypedUrls *typedUrls() const { return m_typedUrls; }

private:
    void appendHistory(const QString &address);

    TQORMainForm *m_main;
    TypedUrls *m_typedUrls;
    QCompleter *m_completer;
};

#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

// The global hot keys, held wherever the keyboard is: Ctrl+Y, Ctrl+K, Ctrl+Alt+Y and
// Ctrl+Alt+K, grabbed on the X root window (also with Num Lock and Caps Lock on). A key
// another program holds, or a desktop without X11, leaves that key out without a word.
class GlobalHotKeys : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    enum Key { KeyY, KeyK };

    explicit GlobalHotKeys(QObject *parent = nullptr);
    ~GlobalHotKeys() override;

    // Grabs the four keys in their order, each whatever became of the others; says how
    // many this program holds.
    int registerAll();

signals:
    void pressed(GlobalHotKeys::Key key);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        uint8_t keycode;
        uint16_t modifiers;
        Key key;
    };

    bool grab(Key key, uint32_t keysym, uint16_t modifiers);
    uint8_t keycodeOf(uint32_t keysym) const;
    uint16_t numLockMask() const;

    void *m_connection = nullptr; // xcb_connection_t
    uint32_t m_root = 0;
    uint16_t m_ignoredMask = 0; // Caps Lock and Num Lock
    Grab m_grabs[4] = {};
    int m_grabCount = 0;
    uint32_t m_lastRelease = 0;
};

#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <vector>

// The global hot keys, held wherever the keyboard is, grabbed on the X root window (also
// with Num Lock and Caps Lock on): Ctrl+Alt+Y and Ctrl+Alt+K, and plain Ctrl+Y and Ctrl+K
// only when the user asks for them, since a root grab takes those keys away from every
// other program on the desktop. A key another program holds, or a desktop without X11, is
// reported once per registration.
class GlobalHotKeys : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    enum Key { KeyY, KeyK };

    explicit GlobalHotKeys(QObject *parent = nullptr);
    ~GlobalHotKeys() override;

    // Grabs the keys in their order (Ctrl+Y, Ctrl+K when `plainKeys`, then Ctrl+Alt+Y and
    // Ctrl+Alt+K), each whatever became of the others; says how many this program holds.
    int registerAll(bool plainKeys);
    // Grabs or lets go of plain Ctrl+Y and Ctrl+K while running.
    void setPlainKeys(bool on);
    // The keys held now, as "Ctrl+Alt+K", in the order they were grabbed.
    QStringList heldKeys() const;

signals:
    void pressed(GlobalHotKeys::Key key);
    // What could not be registered, in Chinese, for the status line.
    void unavailable(const QString &message);

protected:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab
    {
        uint8_t keycode;
        uint16_t modifiers;
        Key key;
    };

    enum GrabResult { Held, Taken, NoKey };
    struct Failures
    {
        QStringList taken; // another program holds them
        QStringList noKey; // not on this keyboard
        void add(GrabResult result, const QString &name);
    };

    GrabResult grab(Key key, uint32_t keysym, uint16_t modifiers);
    void ungrab(const Grab &held);
    void report(const Failures &failed);
    uint8_t keycodeOf(uint32_t keysym) const;
    uint16_t numLockMask() const;

    void *m_connection = nullptr; // xcb_connection_t
    uint32_t m_root = 0;
    uint16_t m_ignoredMask = 0; // Caps Lock and Num Lock
    std::vector<Grab> m_grabs;
    uint32_t m_lastRelease = 0;
};

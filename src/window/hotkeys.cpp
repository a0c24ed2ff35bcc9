#include "hotkeys.h"

#include "windowlog.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr uint32_t kKeysymY = 0x79; // XK_y
constexpr uint32_t kKeysymK = 0x6b; // XK_k
constexpr uint32_t kKeysymNumLock = 0xff7f;

xcb_connection_t *connectionOf(void *connection)
{
    return static_cast<xcb_connection_t *>(connection);
}

std::array<uint16_t, 4> lockCombinations(uint16_t ignoredMask)
{
    return {uint16_t(0), uint16_t(XCB_MOD_MASK_LOCK), uint16_t(ignoredMask & ~XCB_MOD_MASK_LOCK), ignoredMask};
}

QString keyName(GlobalHotKeys::Key key, uint16_t modifiers)
{
    return QLatin1String(modifiers & XCB_MOD_MASK_1 ? "Ctrl+Alt+" : "Ctrl+") +
           QLatin1Char(key == GlobalHotKeys::KeyY ? 'Y' : 'K');
}

} // namespace

GlobalHotKeys::GlobalHotKeys(QObject *parent) : QObject(parent)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    m_connection = x11->connection();
    const xcb_setup_t *setup = xcb_get_setup(connectionOf(m_connection));
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    if (!screen.rem)
        return;
    m_root = screen.data->root;
    m_ignoredMask = XCB_MOD_MASK_LOCK | numLockMask();
    qGuiApp->installNativeEventFilter(this);
}

GlobalHotKeys::~GlobalHotKeys()
{
    if (!m_connection)
        return;
    qGuiApp->removeNativeEventFilter(this);
    for (const Grab &held : m_grabs)
        ungrab(held);
    xcb_flush(connectionOf(m_connection));
}

int GlobalHotKeys::registerAll(bool plainKeys)
{
    if (!m_connection) {
        emit unavailable(QStringLiteral("全局热键不可用：此桌面没有 X11 的按键抓取。"));
        return 0;
    }
    Failures failed;
    auto add = [this, &failed](Key key, uint32_t keysym, uint16_t modifiers) {
        failed.add(grab(key, keysym, modifiers), keyName(key, modifiers));
    };
    if (plainKeys) {
        add(KeyY, kKeysymY, XCB_MOD_MASK_CONTROL);
        add(KeyK, kKeysymK, XCB_MOD_MASK_CONTROL);
    }
    add(KeyY, kKeysymY, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    add(KeyK, kKeysymK, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    report(failed);
    return int(m_grabs.size());
}

void GlobalHotKeys::setPlainKeys(bool on)
{
    if (!m_connection)
        return;
    if (!on) {
        for (auto held = m_grabs.begin(); held != m_grabs.end();) {
            if (held->modifiers == XCB_MOD_MASK_CONTROL) {
                ungrab(*held);
                held = m_grabs.erase(held);
            } else {
                ++held;
            }
        }
        xcb_flush(connectionOf(m_connection));
        return;
    }
    Failures failed;
    for (auto [key, keysym] : {std::pair{KeyY, kKeysymY}, std::pair{KeyK, kKeysymK}}) {
        const bool held = std::any_of(m_grabs.begin(), m_grabs.end(), [key = key](const Grab &g) {
            return g.key == key && g.modifiers == XCB_MOD_MASK_CONTROL;
        });
        if (!held)
            failed.add(grab(key, keysym, XCB_MOD_MASK_CONTROL), keyName(key, XCB_MOD_MASK_CONTROL));
    }
    report(failed);
}

QStringList GlobalHotKeys::heldKeys() const
{
    QStringList names;
    for (const Grab &held : m_grabs)
        names << keyName(held.key, held.modifiers);
    return names;
}

void GlobalHotKeys::Failures::add(GrabResult result, const QString &name)
{
    if (result == Taken)
        taken << name;
    else if (result == NoKey)
        noKey << name;
}

void GlobalHotKeys::report(const Failures &failed)
{
    QStringList said;
    if (!failed.taken.isEmpty())
        said << QStringLiteral("全局热键 %1 已被其他程序占用，未能注册。").arg(failed.taken.join(QStringLiteral("、")));
    if (!failed.noKey.isEmpty())
        said << QStringLiteral("全局热键 %1 未能注册：键盘布局中没有这个键。").arg(failed.noKey.join(QStringLiteral("、")));
    // Nothing failed, nothing said: an empty message would clear the status line.
    if (said.isEmpty())
        return;
    qCWarning(lcWindow).noquote() << "hot keys not grabbed:" << said.join(QLatin1Char(' '));
    emit unavailable(said.join(QLatin1Char(' ')));
}

GlobalHotKeys::GrabResult GlobalHotKeys::grab(Key key, uint32_t keysym, uint16_t modifiers)
{
    xcb_connection_t *connection = connectionOf(m_connection);
    const uint8_t keycode = keycodeOf(keysym);
    if (!keycode)
        return NoKey;
    // With Caps Lock and Num Lock in every combination, so that they do not hide the key.
    bool ok = true;
    for (uint16_t locks : lockCombinations(m_ignoredMask)) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, m_root, modifiers | locks, keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookie)) {
            // Held by another program.
            std::free(error);
            ok = false;
        }
    }
    const Grab held{keycode, modifiers, key};
    if (!ok) {
        // What was taken of it goes back: a key half ours is no use to anyone.
        ungrab(held);
        xcb_flush(connection);
        return Taken;
    }
    m_grabs.push_back(held);
    return Held;
}

void GlobalHotKeys::ungrab(const Grab &held)
{
    for (uint16_t locks : lockCombinations(m_ignoredMask))
        xcb_ungrab_key(connectionOf(m_connection), held.keycode, m_root, held.modifiers | locks);
}

uint8_t GlobalHotKeys::keycodeOf(uint32_t keysym) const
{
    xcb_connection_t *connection = connectionOf(m_connection);
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t *reply =
        xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, first, uint8_t(count)), nullptr);
    if (!reply)
        return 0;
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perCode = reply->keysyms_per_keycode;
    uint8_t found = 0;
    for (int code = 0; code < count && !found; ++code)
        for (int i = 0; i < perCode && !found; ++i)
            if (syms[code * perCode + i] == keysym)
                found = uint8_t(first + code);
    std::free(reply);
    return found;
}

uint16_t GlobalHotKeys::numLockMask() const
{
    xcb_connection_t *connection = connectionOf(m_connection);
    const uint8_t numLock = keycodeOf(kKeysymNumLock);
    xcb_get_modifier_mapping_reply_t *reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (!reply)
        return XCB_MOD_MASK_2;
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    uint16_t mask = 0;
    for (int modifier = 0; modifier < 8 && numLock; ++modifier)
        for (int i = 0; i < perModifier; ++i)
            if (codes[modifier * perModifier + i] == numLock)
                mask = uint16_t(1u << modifier);
    std::free(reply);
    return mask ? mask : uint16_t(XCB_MOD_MASK_2);
}

bool GlobalHotKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (key->event != m_root)
        return false;
    const uint16_t relevant = key->state & (XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
    for (const Grab &held : m_grabs) {
        if (held.keycode == key->detail && held.modifiers == relevant) {
            // A held key repeats as a release and a press of the same moment: one press.
            if (type == XCB_KEY_RELEASE)
                m_lastRelease = key->time;
            else if (key->time != m_lastRelease)
                emit pressed(held.key);
            return true;
        }
    }
    return false;
}

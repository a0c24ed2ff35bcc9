#include "window/hotkeys.h"
#include "appfixture.h"

#include <QAction>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>

// The global keys on a real X server, beside another X program that wants the same keys.
class TestHotKeys : public QObject
{
    Q_OBJECT

private:
    // Another program on the same display, grabbing keys on the root window the way
    // sablix does.
    struct OtherProgram
    {
        xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;

        ~OtherProgram() { xcb_disconnect(connection); }

        uint8_t keycode(uint32_t keysym) const
        {
            const xcb_setup_t *setup = xcb_get_setup(connection);
            const int count = setup->max_keycode - setup->min_keycode + 1;
            xcb_get_keyboard_mapping_reply_t *reply = xcb_get_keyboard_mapping_reply(
                connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, uint8_t(count)), nullptr);
            const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply);
            uint8_t found = 0;
            for (int i = 0; i < count * reply->keysyms_per_keycode && !found; ++i)
                if (syms[i] == keysym)
                    found = uint8_t(setup->min_keycode + i / reply->keysyms_per_keycode);
            std::free(reply);
            return found;
        }

        // True when the key is now this program's; an X error says another holds it.
        bool grab(char key, bool alt)
        {
            const uint16_t modifiers = XCB_MOD_MASK_CONTROL | (alt ? XCB_MOD_MASK_1 : 0);
            const uint8_t code = keycode(uint32_t(key == 'Y' ? 'y' : 'k'));
            xcb_generic_error_t *error = xcb_request_check(
                connection, xcb_grab_key_checked(connection, 1, root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            std::free(error);
            if (!error)
                xcb_ungrab_key(connection, code, root, modifiers);
            xcb_flush(connection);
            return !error;
        }
    };

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server");
    }

    void plainKeysStayWithTheDesktopByDefault()
    {
        AppFixture app;
        QCOMPARE(app.program->hotKeys()->heldKeys(), (QStringList{"Ctrl+Alt+Y", "Ctrl+Alt+K"}));
        OtherProgram other;
        QVERIFY(other.grab('K', false));
        QVERIFY(other.grab('Y', false));
        QVERIFY(!other.grab('K', true));
        QVERIFY(!other.grab('Y', true));
        QVERIFY(!app.item("NPlainHotKeys")->isChecked());
        // Nothing failed, nothing said.
        QCOMPARE(app.statusText(0), QString());
    }

    void theSettingTakesThePlainKeysAndGivesThemBack()
    {
        AppFixture app;
        OtherProgram other;
        QAction *item = app.item("NPlainHotKeys");
        QVERIFY(item->isCheckable());
        // Keys taken and given back without a failure say nothing: the status line stays.
        app.status()->showMessage(QStringLiteral("页面的消息"));
        item->trigger();
        QCOMPARE(app.statusText(0), QStringLiteral("页面的消息"));
        QCOMPARE(app.configValue(QStringLiteral("PlainHotKeys")), QStringLiteral("1"));
        QCOMPARE(app.program->hotKeys()->heldKeys(), (QStringList{"Ctrl+Alt+Y", "Ctrl+Alt+K", "Ctrl+Y", "Ctrl+K"}));
        QVERIFY(!other.grab('K', false));
        QVERIFY(!other.grab('Y', false));
        item->trigger();
        QCOMPARE(app.configValue(QStringLiteral("PlainHotKeys")), QStringLiteral("0"));
        QCOMPARE(app.statusText(0), QStringLiteral("页面的消息"));
        QVERIFY(other.grab('K', false));
        QVERIFY(other.grab('Y', false));
        QVERIFY(!other.grab('K', true));
    }

    void aStoredSettingTakesThemAtStart()
    {
        AppFixture app("[RunData]\r\nPlainHotKeys=1\r\n");
        QVERIFY(app.item("NPlainHotKeys")->isChecked());
        QCOMPARE(app.program->hotKeys()->heldKeys(), (QStringList{"Ctrl+Y", "Ctrl+K", "Ctrl+Alt+Y", "Ctrl+Alt+K"}));
    }

    void aKeyAnotherProgramHoldsIsReportedOnce()
    {
        OtherProgram other;
        const uint8_t code = other.keycode('k');
        const uint16_t modifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
        xcb_generic_error_t *error = xcb_request_check(
            other.connection,
            xcb_grab_key_checked(other.connection, 1, other.root, modifiers, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        QVERIFY(!error);
        AppFixture app;
        QCOMPARE(app.program->hotKeys()->heldKeys(), QStringList{"Ctrl+Alt+Y"});
        QCOMPARE(app.statusText(0), QStringLiteral("全局热键 Ctrl+Alt+K 已被其他程序占用，未能注册。"));
        // The plain ones asked for later: only what failed then is said.
        app.status()->clear();
        QVERIFY(other.grab('Y', false));
        app.item("NPlainHotKeys")->trigger();
        QCOMPARE(app.statusText(0), QString());
        QCOMPARE(app.program->hotKeys()->heldKeys(), (QStringList{"Ctrl+Alt+Y", "Ctrl+Y", "Ctrl+K"}));
    }
};

QTEST_MAIN(TestHotKeys)
#include "tst_hotkeys.moc"

#include "appfixture.h"
#include "formfield.h"
#include "navigation/addressbar.h"
#include "navigation/addressbox.h"
#include "navigation/addressnormalizer.h"
#include "navigation/typedurls.h"
#include "navigation/weblinks.h"
#include "core/listfile.h"
#include "tabs/pagetabs.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QCompleter>
#include <QLineEdit>
#include <QStringListModel>
#include <QTest>
#include <QToolButton>

class TestAddressBar : public QObject
{
    Q_OBJECT

private:
    static QString go(AppFixture &app, const QString &text)
    {
        app.setAddressText(text);
        app.addressBar()->Go();
        return app.active() ? app.active()->pendingAddress() : QString();
    }

private slots:
    void normalisation_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("address");
        QTest::newRow("scheme kept as typed") << "HTTP://X" << "HTTP://X";
        QTest::newRow("https") << "https://a.b/c" << "https://a.b/c";
        QTest::newRow("ftp") << "Ftp://files" << "Ftp://files";
        QTest::newRow("file") << "file:///tmp/a" << "file:///tmp/a";
        QTest::newRow("drive root backslash") << "C:\\" << "file://C:\\";
        QTest::newRow("drive folder") << "C:\\dir" << "file://C:\\dir/";
        QTest::newRow("drive root slash") << "c:/" << "file://c:/";
        QTest::newRow("drive slash folder") << "c:/x/" << "file://c:/x//";
        QTest::newRow("absolute path") << "/home/u/a.html" << "file:///home/u/a.html";
        QTest::newRow("dot") << "a.b" << "http://a.b";
        QTest::newRow("localhost") << "LocalHost" << "http://LocalHost";
        QTest::newRow("bare word") << "intranet" << WebLinks::firstEngineQuery() + "intranet";
        QTest::newRow("words encoded") << "a&b c" << WebLinks::firstEngineQuery() + "a%26b%20c";
        QTest::newRow("port without dot") << "host:80" << WebLinks::firstEngineQuery() + "host%3A80";
    }

    void normalisation()
    {
        QFETCH(QString, typed);
        QFETCH(QString, address);
        QCOMPARE(AddressNormalizer::normalize(typed), address);
    }

    void firstEngineIsBaidu()
    {
        QCOMPARE(WebLinks::firstEngineQuery(), QStringLiteral("https://www.baidu.com/baidu?tn=sablix_dg&ie=utf-8&word="));
    }

    void bareWordsReachTheEngineWhole_data()
    {
        QTest::addColumn<QString>("typed");
        for (const char *words : {"C++ AT&T", "C#", "100%", "50%25 off", "北京 天气", "a=b?c&d=e"})
            QTest::newRow(words) << QString::fromUtf8(words);
    }

    void bareWordsReachTheEngineWhole()
    {
        QFETCH(QString, typed);
        const QString address = AddressNormalizer::normalize(typed);
        QVERIFY(address.startsWith(WebLinks::firstEngineQuery()));
        QCOMPARE(formField(address, QStringLiteral("word")), typed);
        QCOMPARE(formField(address, QStringLiteral("ie")), QStringLiteral("utf-8"));
        QCOMPARE(formField(address, QStringLiteral("tn")), QStringLiteral("sablix_dg"));
    }

    void blankTextDoesNothing()
    {
        AppFixture app;
        go(app, QStringLiteral("   "));
        go(app, QStringLiteral("About:Blank"));
        QCOMPARE(app.pages->count(), 0);
        QVERIFY(app.program->addressBox()->history().isEmpty());
    }

    void goWithoutAPageOpensOne()
    {
        AppFixture app;
        QCOMPARE(go(app, QStringLiteral(" abc.com ")), QStringLiteral("http://abc.com"));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.pages->page(0)->address(), QStringLiteral("http://abc.com"));
        QCOMPARE(app.addressText(), QStringLiteral("http://abc.com"));
        // Straight there: no blank document first, for the engine to make and throw away.
        QCOMPARE(app.browser(0)->calls.filter(QStringLiteral("Navigate")), QStringList{"Navigate http://abc.com"});
    }

    void goChoosesTheCurrentPageOnlyWhenItIsBlank()
    {
        AppFixture app;
        app.openBlankPage();
        go(app, QStringLiteral("a.b"));
        QCOMPARE(app.pages->count(), 1);
        app.active()->commitNavigation();
        go(app, QStringLiteral("c.d"));
        QCOMPARE(app.pages->count(), 2);
        QCOMPARE(app.pages->activeIndex(), 1);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://c.d"));
        // A blank page that is still loading counts as showing something.
        app.openBlankPage();
        app.active()->setBusy(true);
        go(app, QStringLiteral("e.f"));
        QCOMPARE(app.pages->count(), 4);
    }

    void historyHasNoDuplicatesAndComparesExactly()
    {
        AppFixture app;
        app.openBlankPage();
        go(app, QStringLiteral("a.b"));
        go(app, QStringLiteral("a.b"));
        go(app, QStringLiteral("HTTP://a.b"));
        go(app, QStringLiteral("http://a.b"));
        QCOMPARE(app.program->addressBox()->history(), (QStringList{"http://a.b", "HTTP://a.b"}));
    }

    void completionKeysNeedTheirExactModifiers_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("address");
        QTest::newRow("Ctrl") << int(Qt::ControlModifier) << "http://www.abc.com/";
        QTest::newRow("Alt") << int(Qt::AltModifier) << "http://www.abc.net/";
        QTest::newRow("Shift") << int(Qt::ShiftModifier) << "http://www.abc.com.cn/";
        QTest::newRow("Ctrl+Shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << "";
        QTest::newRow("Ctrl+Alt") << int(Qt::ControlModifier | Qt::AltModifier) << "";
    }

    void completionKeysNeedTheirExactModifiers()
    {
        QFETCH(int, modifiers);
        QFETCH(QString, address);
        AppFixture app;
        app.main->show();
        app.setAddressText(QStringLiteral(" abc "));
        QTest::keyClick(app.widget<QComboBox>("CBURL")->lineEdit(), Qt::Key_Return, Qt::KeyboardModifiers(modifiers));
        if (address.isEmpty()) {
            QCOMPARE(app.pages->count(), 0);
            return;
        }
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->calls.filter(QStringLiteral("Navigate http")), QStringList{QStringLiteral("Navigate ") + address});
    }

    void enterAndTheGoButtonRunGo()
    {
        AppFixture app;
        app.main->show();
        app.setAddressText(QStringLiteral("x.y"));
        QTest::keyClick(app.widget<QComboBox>("CBURL")->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(app.pages->count(), 1);
        app.active()->commitNavigation();
        app.setAddressText(QStringLiteral("z.y"));
        app.widget<QToolButton>("BBGO")->click();
        QCOMPARE(app.pages->count(), 2);
        // Choosing an entry of the drop-down list opens it.
        app.active()->commitNavigation();
        emit app.widget<QComboBox>("CBURL")->activated(0);
        QCOMPARE(app.pages->count(), 3);
        QCOMPARE(app.active()->pendingAddress(), QStringLiteral("http://x.y"));
    }

    void leavingTheBoxOpensNothing()
    {
        AppFixture app;
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        go(app, QStringLiteral("x.y"));
        app.active()->commitNavigation();
        go(app, QStringLiteral("z.y"));
        app.active()->commitNavigation();
        app.widget<QComboBox>("CBURL")->setFocus();
        // The text of a list entry other than the box's current one.
        QCOMPARE(app.widget<QComboBox>("CBURL")->currentIndex(), 0);
        app.setAddressText(QStringLiteral("http://z.y"));
        app.widget<QComboBox>("ComboBoxSearch")->setFocus();
        QTRY_VERIFY(app.widget<QComboBox>("ComboBoxSearch")->hasFocus());
        QCOMPARE(app.pages->count(), 2);
    }

    void helpItemsOpenTheProductSite()
    {
        AppFixture app;
        for (const char *item : {"NHelpOnline", "NBrowserHomePage", "NBrowserBBS"}) {
            app.item(item)->trigger();
            QCOMPARE(app.active()->pendingAddress(), WebLinks::productSite());
            app.active()->commitNavigation();
        }
        QCOMPARE(app.pages->count(), 3);
    }

    void functionKeysEmptyTheBox()
    {
        AppFixture app;
        app.setAddressText(QStringLiteral("a.b"));
        app.main->findChild<QAction *>(QStringLiteral("ActionF2"))->trigger();
        QCOMPARE(app.addressText(), QString());
        QCOMPARE(app.pages->count(), 0);
    }

    void backAndForward()
    {
        AppFixture app;
        app.widget<QToolButton>("SBP")->click();
        ScriptedBrowser *page = app.openPage(QStringLiteral("a.b"));
        app.widget<QToolButton>("SBP")->click();
        app.widget<QToolButton>("SBN")->click();
        QCOMPARE(page->calls.filter(QRegularExpression("^Go(Back|Forward)$")), (QStringList{"GoBack", "GoForward"}));
        QCOMPARE(app.addressText(), QStringLiteral("http://a.b"));
    }

    void goHomeUsesABlankPage()
    {
        AppFixture app;
        app.addressBar()->GoHome();
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->calls.last(), QStringLiteral("GoHome"));
        app.active()->commitNavigation(QStringLiteral("about:blank"));
        // The blank page still has its never-navigated caption: Go Home uses it.
        app.addressBar()->GoHome();
        QCOMPARE(app.pages->count(), 1);
        emit app.active()->TitleChange(QStringLiteral("Home"));
        app.addressBar()->GoHome();
        QCOMPARE(app.pages->count(), 2);
    }

    void typedAddressesFeedTheSuggestions()
    {
        QFile::remove(TypedUrls::filePath());
        {
            AppFixture app;
            go(app, QStringLiteral("first.example"));
            app.active()->commitNavigation();
            go(app, QStringLiteral("second.example"));
            go(app, QStringLiteral("plainword"));
            QCOMPARE(app.addressBar()->typedUrls()->addresses(),
                     (QStringList{"http://second.example", "http://first.example"}));
        }
        // Kept per user, across runs.
        AppFixture next;
        QCompleter *completer = next.widget<QComboBox>("CBURL")->completer();
        QCOMPARE(completer->model()->rowCount(), 2);
        completer->setCompletionPrefix(QStringLiteral("second"));
        QCOMPARE(completer->currentCompletion(), QStringLiteral("http://second.example"));
    }

    // A burst of addresses costs one write, soon after; the close writes what is waiting,
    // and clearing throws away a write that was still to come.
    void typedAddressesAreWrittenInABatch()
    {
        QFile::remove(TypedUrls::filePath());
        AppFixture app;
        for (const char *host : {"one.example", "two.example", "three.example"})
            go(app, QString::fromLatin1(host));
        QVERIFY(!QFileInfo::exists(TypedUrls::filePath()));
        const QStringList burst{"http://three.example", "http://two.example", "http://one.example"};
        QTRY_COMPARE(ListFile::load(TypedUrls::filePath()).value_or(QStringList()), burst);

        go(app, QStringLiteral("four.example"));
        app.addressBar()->clearTypedUrls();
        QVERIFY(!QFileInfo::exists(TypedUrls::filePath()));
        go(app, QStringLiteral("five.example"));
        app.main->close();
        QCOMPARE(ListFile::load(TypedUrls::filePath()).value_or(QStringList()), QStringList{"http://five.example"});
    }

    // The engine reports a navigation only after the call: addresses given back to back
    // must not take one another's page, whether the engine has answered yet or not.
    void addressesGivenBackToBackEachOpenTheirOwnPage_data()
    {
        QTest::addColumn<bool>("enginePlays");
        QTest::newRow("before the engine answers") << false;
        QTest::newRow("engine answering in between") << true;
    }

    void addressesGivenBackToBackEachOpenTheirOwnPage()
    {
        QFETCH(bool, enginePlays);
        AppFixture app;
        app.engine.playsNavigations = enginePlays;
        QStringList addresses;
        for (int i = 0; i < 6; ++i)
            addresses << QStringLiteral("http://burst%1.example/page%1.html").arg(i);
        for (int i = 0; i < addresses.size(); ++i) {
            app.addressBar()->openAddress(addresses.at(i));
            if (enginePlays && i % 2)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QCOMPARE(app.pages->count(), addresses.size());
        for (int i = 0; i < addresses.size(); ++i) {
            QCOMPARE(app.browser(i)->LocationURL(), addresses.at(i));
            QCOMPARE(app.browser(i)->Busy(), !enginePlays);
            QCOMPARE(app.browser(i)->calls.filter(QStringLiteral("Navigate http")).size(), 1);
        }
        // A blank page is still the one a typed address goes to.
        app.tabs()->NAddNewBlankClick();
        app.addressBar()->openAddress(QStringLiteral("http://after.example/"));
        QCOMPARE(app.pages->count(), addresses.size() + 1);
        QCOMPARE(app.active()->LocationURL(), QStringLiteral("http://after.example/"));
    }

    // A page's report reaches the box while the user types there: what they typed stays,
    // and a selection they are about to type over stays selected.
    void pageReportsLeaveTheUsersTypingAlone()
    {
        AppFixture app;
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        ScriptedBrowser *page = app.openPage(QStringLiteral("one.example"), QStringLiteral("One"));
        QLineEdit *edit = app.widget<QComboBox>("CBURL")->lineEdit();
        app.item("NAddressSetFocus")->trigger();
        QTRY_VERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), QStringLiteral("http://one.example"));
        page->commitNavigation(QStringLiteral("http://two.example/"), QStringLiteral("Two"));
        QCOMPARE(edit->text(), QStringLiteral("http://two.example/"));
        QCOMPARE(edit->selectedText(), edit->text());
        QTest::keyClicks(edit, QStringLiteral("typed"));
        page->commitNavigation(QStringLiteral("http://three.example/"), QStringLiteral("Three"));
        QCOMPARE(edit->text(), QStringLiteral("typed"));
        // Away from the box, the box follows the page again.
        app.pages->FocusActiveDocument();
        page->commitNavigation(QStringLiteral("http://four.example/"), QStringLiteral("Four"));
        QCOMPARE(edit->text(), QStringLiteral("http://four.example/"));
    }

    void choosingASuggestionGoesOnce_data()
    {
        QTest::addColumn<bool>("withMouse");
        QTest::newRow("keyboard") << false;
        QTest::newRow("mouse") << true;
    }

    void choosingASuggestionGoesOnce()
    {
        QFETCH(bool, withMouse);
        QFile::remove(TypedUrls::filePath());
        AppFixture app;
        const QString suggested = QStringLiteral("http://suggested.example/");
        app.addressBar()->typedUrls()->add(suggested);
        // Also in the box's own list: the box would report the choice as well.
        app.program->addressBox()->appendHistory(suggested);
        app.main->show();
        app.main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.main));
        app.openBlankPage();
        QLineEdit *edit = app.widget<QComboBox>("CBURL")->lineEdit();
        app.widget<QComboBox>("CBURL")->setFocus();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("sugg"));
        QAbstractItemView *popup = edit->completer()->popup();
        QTRY_VERIFY(popup->isVisible());
        if (withMouse) {
            const QRect item = popup->visualRect(popup->model()->index(0, 0));
            QTest::mouseClick(popup->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
        } else {
            QTest::keyClick(popup, Qt::Key_Down);
            QTest::keyClick(popup, Qt::Key_Return);
        }
        QCoreApplication::processEvents();
        int navigations = 0;
        for (int i = 0; i < app.pages->count(); ++i)
            navigations += app.browser(i)->calls.count(QStringLiteral("Navigate ") + suggested);
        QCOMPARE(navigations, 1);
        QCOMPARE(app.pages->count(), 1);
    }

    void droppedTextRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("opened");
        QTest::newRow("www") << "WWW.a.b" << "http://WWW.a.b";
        QTest::newRow("scheme") << "ftp://x" << "ftp://x";
        QTest::newRow("dot") << "a.b/c" << "a.b/c";
        QTest::newRow("word") << "word" << "";
        QTest::newRow("Chinese with dot") << "中文.com" << "";
    }

    void droppedTextRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, opened);
        QCOMPARE(AddressNormalizer::droppedAddress(text).value_or(QString()), opened);
    }
};

QTEST_MAIN(TestAddressBar)
#include "tst_addressbar.moc"

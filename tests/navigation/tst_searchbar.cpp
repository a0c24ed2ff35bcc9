#include "appfixture.h"
#include "formfield.h"
#include "navigation/searchbar.h"
#include "navigation/weblinks.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

class TestSearchBar : public QObject
{
    Q_OBJECT

private:
    static void search(AppFixture &app, const QString &query)
    {
        app.widget<QComboBox>("ComboBoxSearch")->setEditText(query);
        app.searchBar()->Search();
    }

private slots:
    void queriesOfBlanksOnlyEmptyTheBox()
    {
        AppFixture app;
        search(app, QStringLiteral("   "));
        QCOMPARE(app.pages->count(), 0);
        QCOMPARE(app.widget<QComboBox>("ComboBoxSearch")->currentText(), QString());
        QVERIFY(app.searchBar()->history().isEmpty());
    }

    void aSearchWithoutAPageOpensOne()
    {
        AppFixture app;
        search(app, QStringLiteral(" 天气 "));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), WebLinks::firstEngineQuery() + QStringLiteral("%E5%A4%A9%E6%B0%94"));
        QCOMPARE(app.pages->page(0)->address(), app.active()->pendingAddress());
        QCOMPARE(app.active()->calls.filter(QStringLiteral("Navigate")).size(), 1);
        QCOMPARE(app.widget<QComboBox>("ComboBoxSearch")->currentText(), QString());
        QCOMPARE(app.searchBar()->history(), QStringList{QStringLiteral("天气")});
    }

    void resultsReplaceABlankPageAndOtherwiseOpenANewOne()
    {
        AppFixture app;
        app.openBlankPage();
        search(app, QStringLiteral("one"));
        QCOMPARE(app.pages->count(), 1);
        app.active()->commitNavigation();
        app.openPage(QStringLiteral("x.example"));
        app.openPage(QStringLiteral("y.example"));
        app.pages->activatePage(0);
        search(app, QStringLiteral("two"));
        QCOMPARE(app.pages->count(), 4);
        // Placed right after the active page, and activated.
        QCOMPARE(app.pages->activeIndex(), 1);
        QCOMPARE(app.active()->pendingAddress(), WebLinks::firstEngineQuery() + QStringLiteral("two"));
    }

    void historyHasNoDuplicatesAndComparesExactly()
    {
        AppFixture app;
        app.main->show();
        for (const char *query : {"Qt", "Qt", "qt"}) {
            app.widget<QComboBox>("ComboBoxSearch")->setEditText(QString::fromLatin1(query));
            QTest::keyClick(app.widget<QComboBox>("ComboBoxSearch")->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(app.searchBar()->history(), (QStringList{"Qt", "qt"}));
        app.widget<QComboBox>("ComboBoxSearch")->setEditText(QStringLiteral("button"));
        app.widget<QToolButton>("SBSearch")->click();
        QCOMPARE(app.searchBar()->history().last(), QStringLiteral("button"));
    }

    void queriesKeepEveryCharacter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("plus and ampersand") << "C++ AT&T";
        QTest::newRow("hash") << "C# 教程";
        QTest::newRow("percent") << "100% 纯 50%25";
        QTest::newRow("blanks inside") << "a  b  c";
        QTest::newRow("chinese") << "北京 天气";
        QTest::newRow("equals and question mark") << "a=b?c/d";
        QTest::newRow("beyond the basic plane") << QString::fromUtf8("😀 表情");
    }

    void queriesKeepEveryCharacter()
    {
        QFETCH(QString, typed);
        for (const char *engine : {"NBaidu", "NYahoo"}) {
            AppFixture app;
            app.item(engine)->trigger();
            search(app, typed);
            const QString sent = app.active()->pendingAddress();
            const QString key = QLatin1String(engine) == QLatin1String("NBaidu") ? QStringLiteral("word") : QStringLiteral("p");
            QCOMPARE(formField(sent, key), typed);
            // Every engine is told the words are UTF-8.
            QVERIFY2(formField(sent, QStringLiteral("ie")) == QLatin1String("utf-8") ||
                         formField(sent, QStringLiteral("ei")) == QLatin1String("UTF-8"),
                     qPrintable(sent));
            QCOMPARE(app.active()->calls.filter(QStringLiteral("Navigate http")).value(0), QStringLiteral("Navigate ") + sent);
            // The history keeps the words as typed.
            QCOMPARE(app.searchBar()->history(), QStringList{typed});
        }
    }

    void choosingAnEngineIsStoredAndUsed()
    {
        {
            AppFixture app;
            app.item("NYahoo")->trigger();
            QCOMPARE(app.configValue(QStringLiteral("SearchOn")), QStringLiteral("3"));
            QVERIFY(app.item("NYahoo")->isChecked());
            QVERIFY(!app.item("NBaidu")->isChecked());
            QCOMPARE(app.searchBar()->queryAddress(QStringLiteral("q")), WebLinks::secondEngineQuery() + QStringLiteral("q"));
            app.item("NBaidu")->trigger();
            QCOMPARE(app.configValue(QStringLiteral("SearchOn")), QStringLiteral("1"));
            // Choosing the checked engine again keeps it checked.
            app.item("NBaidu")->trigger();
            QVERIFY(app.item("NBaidu")->isChecked());
            app.item("NYahoo")->trigger();
        }
        AppFixture restarted(QByteArray("[RunData]\r\nSearchOn=3\r\n"));
        QVERIFY(restarted.item("NYahoo")->isChecked());
        search(restarted, QStringLiteral("q"));
        QCOMPARE(restarted.active()->pendingAddress(), WebLinks::secondEngineQuery() + QStringLiteral("q"));
        QCOMPARE(WebLinks::secondEngineQuery(), QStringLiteral("https://search.yahoo.com/search?ei=UTF-8&p="));
    }

    void engineFiveChecksNothingAndSearchesTheFirst()
    {
        AppFixture app(QByteArray("[RunData]\r\nSearchOn=5\r\n"));
        QVERIFY(!app.item("NBaidu")->isChecked());
        QVERIFY(!app.item("NYahoo")->isChecked());
        search(app, QStringLiteral("q"));
        QCOMPARE(app.active()->pendingAddress(), WebLinks::firstEngineQuery() + QStringLiteral("q"));
    }
};

QTEST_MAIN(TestSearchBar)
#include "tst_searchbar.moc"

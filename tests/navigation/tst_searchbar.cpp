#include "appfixture.h"
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
        app.main->ComboBoxSearch->setEditText(query);
        app.searchBar()->Search();
    }

private slots:
    void queriesOfBlanksOnlyEmptyTheBox()
    {
        AppFixture app;
        search(app, QStringLiteral("   "));
        QCOMPARE(app.pages->count(), 0);
        QCOMPARE(app.main->ComboBoxSearch->currentText(), QString());
        QVERIFY(app.searchBar()->history().isEmpty());
    }

    void aSearchWithoutAPageOpensOne()
    {
        AppFixture app;
        search(app, QStringLiteral(" 天气 "));
        QCOMPARE(app.pages->count(), 1);
        QCOMPARE(app.active()->pendingAddress(), WebLinks::firstEngineQuery() + QStringLiteral("天气"));
        QCOMPARE(app.pages->page(0)->address, app.active()->pendingAddress());
        QCOMPARE(app.main->ComboBoxSearch->currentText(), QString());
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
            app.main->ComboBoxSearch->setEditText(QString::fromLatin1(query));
            QTest::keyClick(app.main->ComboBoxSearch->lineEdit(), Qt::Key_Return);
        }
        QCOMPARE(app.searchBar()->history(), (QStringList{"Qt", "qt"}));
        app.main->ComboBoxSearch->setEditText(QStringLiteral("button"));
        app.main->SBSearch->click();
        QCOMPARE(app.searchBar()->history().last(), QStringLiteral("button"));
    }

    void queriesGoUnencoded()
    {
        AppFixture app;
        search(app, QStringLiteral("a&b c"));
        QCOMPARE(app.active()->calls.filter(QStringLiteral("Navigate https")).value(0),
                 QStringLiteral("Navigate ") + WebLinks::firstEngineQuery() + QStringLiteral("a&b c"));
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
        QVERIFY(WebLinks::secondEngineQuery().endsWith(QStringLiteral("/click/search.htm?m=1001329&fw=union&st=0&p=1006&name=")));
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

#include "adblock/adscrubber.h"
#include "adblock/popupfilter.h"
#include "window/messagefilter.h"
#include "appfixture.h"
#include "core/inidocument.h"
#include "core/rundata.h"
#include "navigation/searchbar.h"

#include <QAction>
#include <QTest>

// The start-up load of RunData, in its order, with its failure semantics.
class TestRunData : public QObject
{
    Q_OBJECT

private:
    static bool checked(const AppFixture &app, const char *item) { return app.item(item)->isChecked(); }

private slots:
    void firstRunUsesDefaultsAndWritesNothing()
    {
        AppFixture app;
        app.main->showAsConfigured();
        QVERIFY(app.main->windowState() & Qt::WindowMaximized);
        QCOMPARE(app.searchBar()->engineCode(), 1);
        QVERIFY(checked(app, "NBaidu"));
        QVERIFY(!checked(app, "NYahoo"));
        QVERIFY(app.popupFilter()->isOn() && checked(app, "NStopPopup"));
        QVERIFY(app.adScrubber()->floatAdFilter() && checked(app, "NStopFloatAd"));
        QVERIFY(app.adScrubber()->flashAdFilter() && checked(app, "NStopFlashAd"));
        QCOMPARE(app.program->messageFilter()->leftClickAllowance(), 500);
        QCOMPARE(app.program->messageFilter()->rightClickAllowance(), 3000);
        QVERIFY(app.exists(QStringLiteral("Data")));
        QVERIFY(app.exists(QStringLiteral("Temp")));
        // Written at the first start, so that a second start finds the single-instance rule.
        QCOMPARE(app.bytes(QStringLiteral("Config.ini")), QByteArray("[RunData]\r\nRunOne=1\r\n"));
    }

    void startUpKeepsAnExistingFileByteForByte()
    {
        // No RunOne, a comment, another section, LF line ends: nothing to write.
        const QByteArray stored("; mine\n[Other]\nx=1\n[RunData]\nWindowMax=0\n");
        AppFixture app(stored);
        QCOMPARE(app.bytes(QStringLiteral("Config.ini")), stored);
    }

    void storedBoundsApply()
    {
        AppFixture app("[RunData]\r\nMainFormTop=100\r\nMainFormLeft=50\r\nMainFormWidth=600\r\nMainFormHeight=400\r\nWindowMax=0\r\n");
        QCOMPARE(app.main->pos(), QPoint(50, 100));
        QCOMPARE(app.main->size(), QSize(600, 400));
        app.main->showAsConfigured();
        QVERIFY(!(app.main->windowState() & Qt::WindowMaximized));
    }

    void searchEngineTable_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("baidu");
        QTest::addColumn<bool>("yahoo");
        QTest::newRow("0") << QByteArray("0") << 1 << true << false;
        QTest::newRow("1") << QByteArray("1") << 1 << true << false;
        QTest::newRow("3") << QByteArray("3") << 3 << false << true;
        QTest::newRow("4") << QByteArray("4") << 1 << true << false;
        QTest::newRow("5") << QByteArray("5") << 5 << false << false;
        QTest::newRow("8") << QByteArray("8") << 8 << true << false;
        QTest::newRow("-2") << QByteArray("-2") << 1 << true << false;
    }

    void searchEngineTable()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, code);
        QFETCH(bool, baidu);
        QFETCH(bool, yahoo);
        AppFixture app("[RunData]\r\nSearchOn=" + value + "\r\n");
        QCOMPARE(app.searchBar()->engineCode(), code);
        QCOMPARE(checked(app, "NBaidu"), baidu);
        QCOMPARE(checked(app, "NYahoo"), yahoo);
    }

    void switchesCompareTrimmedAgainstOne()
    {
        AppFixture app("[RunData]\r\nStopPopup= 1 \r\nStopFloatAd=0\r\nStopFlashAd=yes\r\n");
        QVERIFY(app.popupFilter()->isOn());
        QVERIFY(checked(app, "NStopPopup"));
        QVERIFY(!app.adScrubber()->floatAdFilter());
        QVERIFY(!checked(app, "NStopFloatAd"));
        QVERIFY(!app.adScrubber()->flashAdFilter());
        QVERIFY(!checked(app, "NStopFlashAd"));
    }

    void panelSwitchesCompareUntrimmedAgainstZero()
    {
        AppFixture blank("[RunData]\r\nPanelExtended2= 0\r\nPanelExtended3=0 \r\n");
        QVERIFY(!blank.widget<QWidget>("PanelExtended2")->isHidden());
        QVERIFY(!blank.widget<QWidget>("PanelPN")->isHidden());
        AppFixture exact("[RunData]\r\nPanelExtended2=0\r\nPanelExtended3=0\r\n");
        QVERIFY(exact.widget<QWidget>("PanelExtended2")->isHidden());
        QVERIFY(exact.widget<QWidget>("PanelPN")->isHidden());
        QVERIFY(exact.widget<QWidget>("PanelRS")->isHidden());
    }

    void clickAllowanceLengths()
    {
        AppFixture hex("[RunData]\r\nLClickSleepTime=0x10\r\nRClickSleepTime=1500\r\n");
        QCOMPARE(hex.program->messageFilter()->leftClickAllowance(), 16);
        QCOMPARE(hex.program->messageFilter()->rightClickAllowance(), 1500);
        AppFixture bad("[RunData]\r\nLClickSleepTime=soon\r\nRClickSleepTime=\r\n");
        QCOMPARE(bad.program->messageFilter()->leftClickAllowance(), 500);
        QCOMPARE(bad.program->messageFilter()->rightClickAllowance(), 3000);
    }

    void badTopStopsTheLoadThere()
    {
        AppFixture app("[RunData]\r\nMainFormTop=abc\r\nMainFormLeft=5\r\nSearchOn=3\r\nWindowMax=1\r\n"
                       "StopPopup=1\r\nStopFloatAd=1\r\nStopFlashAd=1\r\nPanelExtended2=0\r\n");
        QCOMPARE(app.main->pos(), QPoint(10, 57));
        QCOMPARE(app.main->size(), QSize(793, 509));
        QCOMPARE(app.searchBar()->engineCode(), 1);
        QVERIFY(checked(app, "NBaidu"));
        QVERIFY(!app.widget<QWidget>("PanelExtended2")->isHidden());
        QVERIFY(!app.popupFilter()->isOn());
        QVERIFY(!checked(app, "NStopPopup"));
        QVERIFY(!checked(app, "NStopFloatAd"));
        QVERIFY(!checked(app, "NStopFlashAd"));
        app.main->showAsConfigured();
        QVERIFY(!(app.main->windowState() & Qt::WindowMaximized));
        // The rest of start-up still ran.
        QVERIFY(app.exists(QStringLiteral("Temp")));
    }

    void badWidthKeepsTopAndLeftOnly()
    {
        AppFixture app("[RunData]\r\nMainFormTop=30\r\nMainFormLeft=40\r\nMainFormWidth=wide\r\nMainFormHeight=300\r\n");
        QCOMPARE(app.main->pos(), QPoint(40, 30));
        QCOMPARE(app.main->size(), QSize(793, 509));
    }

    void badSearchOnStopsBeforeTheWindowStateAndFilters()
    {
        AppFixture app("[RunData]\r\nSearchOn=yahoo\r\nMainFormWidth=700\r\nPanelExtended2=0\r\n");
        QCOMPARE(app.main->width(), 700);
        QVERIFY(app.widget<QWidget>("PanelExtended2")->isHidden());
        QVERIFY(!checked(app, "NStopPopup"));
        app.main->showAsConfigured();
        QVERIFY(!(app.main->windowState() & Qt::WindowMaximized));
    }

    void ownSwitchesAreReadWhereverTheLoadStopped()
    {
        // sablix's own keys stand beside the others, not in their order: a bad bound does
        // not switch the list filter back on or clear-on-exit off.
        AppFixture app("[RunData]\r\nMainFormTop=abc\r\nStopListAd=0\r\nCleanOnExit= 1 \r\nIdlePageMinutes=x\r\nEnhancedSecurity= 0 \r\n");
        QVERIFY(!checked(app, "NStopListAd"));
        QVERIFY(checked(app, "NCleanOnExit"));
        QVERIFY(!checked(app, "NPlainHotKeys"));
        const RunData data = RunData::load(app.program->config().read());
        QCOMPARE(data.idlePageMinutes, std::optional<int>(0));
        QVERIFY(!RunData::load(IniDocument()).idlePageMinutes);
        // Chosen either way, or left to the engine's age (unset).
        QCOMPARE(data.enhancedSecurity, std::optional<bool>(false));
        QVERIFY(!RunData::load(IniDocument()).enhancedSecurity);
        QVERIFY(RunData::load(IniDocument()).stopListAd);
    }
};

QTEST_MAIN(TestRunData)
#include "tst_rundata.moc"

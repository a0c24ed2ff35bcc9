#include "appfixture.h"
#include "historytesting.h"
#include "history/history.h"
#include "history/historysuggestions.h"
#include "navigation/addressbar.h"
#include "navigation/addressbox.h"
#include "navigation/typedurls.h"
#include "visualorder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace HistoryTesting;

// Suggestions from the history under the address box: what they offer and in which order,
// and that the box's own keys and its typed addresses' list keep working beside them.
class TestHistorySuggestions : public QObject
{
    Q_OBJECT

private:
    // Each test's program, its address box and the suggestions under it.
    std::unique_ptr<AppFixture> app;
    QLineEdit *edit = nullptr;
    HistorySuggestions *suggestions = nullptr;

    static QStringList offered(const HistorySuggestions *suggestions)
    {
        QStringList list;
        for (int row = 0; row < suggestions->model()->rowCount(); ++row)
            list << suggestions->model()->index(row, 0).data(Qt::UserRole).toString();
        return list;
    }
    static int navigationsTo(AppFixture &app, const QString &address)
    {
        int count = 0;
        for (int i = 0; i < app.pages->count(); ++i)
            count += app.browser(i)->calls.count(QStringLiteral("Navigate ") + address);
        return count;
    }
    // The window up with the keyboard in the address box, a history of shops behind it.
    static QLineEdit *typingWithHistory(AppFixture &app)
    {
        QFile::remove(TypedUrls::filePath());
        History *history = app.program->history();
        if (!readyAndEmpty(history))
            return nullptr;
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int i = 0; i < 5; ++i)
            history->record(QStringLiteral("http://often.shop.test/"), QStringLiteral("Often"), now - 3 * 24 * 3600 * 1000LL);
        history->record(QStringLiteral("http://today.shop.test/"), QStringLiteral("Today"), now - 1000);
        history->record(QStringLiteral("http://today.shop.test/"), QStringLiteral("Today"), now - 1000);
        history->record(QStringLiteral("http://once.shop.test/"), QStringLiteral("Once"), now - 10 * 24 * 3600 * 1000LL);
        history->record(QStringLiteral("http://unrelated.test/"), QStringLiteral("Other"), now);
        if (!writeNow(history))
            return nullptr;
        if (!app.showActive())
            return nullptr;
        // The typed addresses' list stays shut unless a test fills it.
        app.addressBar()->clearTypedUrls();
        return freshBox(app);
    }
    // Types into the box; true when our list is up after it.
    static bool typedWithList(QLineEdit *edit, const HistorySuggestions *suggestions, const QString &text)
    {
        QTest::keyClicks(edit, text);
        return suggestions->popup()->isVisible();
    }
    // A new blank page with the keyboard in its empty address box.
    static QLineEdit *freshBox(AppFixture &app)
    {
        app.openBlankPage();
        QLineEdit *edit = app.widget<QComboBox>("CBURL")->lineEdit();
        app.widget<QComboBox>("CBURL")->setFocus();
        edit->clear();
        return edit;
    }

private slots:
    void init()
    {
        app = std::make_unique<AppFixture>();
        edit = typingWithHistory(*app);
        QVERIFY(edit);
        suggestions = app->program->historySuggestions();
    }
    void cleanup() { app.reset(); }

    void matchesAreOfferedMostVisitedAndRecentFirst()
    {
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("sh")));
        // 5 visits three days ago, 2 today, 1 ten days ago.
        QCOMPARE(offered(suggestions),
                 (QStringList{"http://often.shop.test/", "http://today.shop.test/", "http://once.shop.test/"}));
        QTest::keyClicks(edit, QStringLiteral("op.te"));
        QCOMPARE(offered(suggestions).size(), 3);
        QTest::keyClicks(edit, QStringLiteral("zzz"));
        QVERIFY(!suggestions->popup()->isVisible());
        // Only typing asks: an address a page reports does not.
        app->program->addressBox()->show(QStringLiteral("http://often.shop.test/"));
        QVERIFY(!suggestions->popup()->isVisible());
    }

    void aChineseTitleIsFoundByPinyin()
    {
        History *history = app->program->history();
        history->record(QStringLiteral("http://news.test/"), QStringLiteral("今日新闻头条"), QDateTime::currentMSecsSinceEpoch());
        QVERIFY(writeNow(history));
        for (const QString &typed : {QStringLiteral("xinwen"), QStringLiteral("xw"), QStringLiteral("xinw")}) {
            edit = freshBox(*app);
            QVERIFY2(typedWithList(edit, suggestions, typed), qPrintable(typed));
            QCOMPARE(offered(suggestions), QStringList{"http://news.test/"});
        }
    }

    void walkingTheListAndEnter()
    {
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("shop")));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Up);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(suggestions->popup()->currentIndex().row(), 1);
        // The box keeps what was typed while the list is walked.
        QCOMPARE(edit->text(), QStringLiteral("shop"));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!suggestions->popup()->isVisible());
        QCOMPARE(navigationsTo(*app, QStringLiteral("http://today.shop.test/")), 1);
        QCOMPARE(app->pages->count(), 1);
    }

    // A title kept with directional marks reorders nothing beside it in the list.
    void aTitleWithDirectionalMarksStaysInItsPlace()
    {
        History *history = app->program->history();
        history->record(QStringLiteral("http://spoof.shop.test/"), QStringLiteral("\u202Egnp.exe"), QDateTime::currentMSecsSinceEpoch());
        QVERIFY(writeNow(history));
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("spoof")));
        QCOMPARE(offered(suggestions), QStringList{QStringLiteral("http://spoof.shop.test/")});
        const QString shown = suggestions->model()->index(0, 0).data().toString();
        QVERIFY(endsStayAtTheEnds(QStringLiteral("(") + shown + QStringLiteral(")")));
    }

    void aClickOpensTheEntry()
    {
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("once")));
        QTreeView *list = suggestions->popup();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualRect(suggestions->model()->index(0, 1)).center());
        QVERIFY(!list->isVisible());
        QCOMPARE(navigationsTo(*app, QStringLiteral("http://once.shop.test/")), 1);
    }

    void theBoxKeysStayTheBoxs()
    {
        // Plain Enter with nothing walked to: Go with what was typed.
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("shop")));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(!suggestions->popup()->isVisible());
        QCOMPARE(app->active()->pendingAddress().contains(QStringLiteral("shop")), true);
        QCOMPARE(navigationsTo(*app, QStringLiteral("http://today.shop.test/")) +
                     navigationsTo(*app, QStringLiteral("http://often.shop.test/")),
                 0);
        // Esc closes the list and nothing else.
        QCOMPARE(freshBox(*app), edit);
        QVERIFY(typedWithList(edit, suggestions, QStringLiteral("shop")));
        const int pages = app->pages->count();
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!suggestions->popup()->isVisible());
        QCOMPARE(edit->text(), QStringLiteral("shop"));
        QCOMPARE(app->pages->count(), pages);
        // The completion keys, even with a suggestion walked to.
        QCOMPARE(freshBox(*app), edit);
        QTest::keyClicks(edit, QStringLiteral("shop"));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(app->active()->pendingAddress(), QStringLiteral("http://www.shop.com/"));
        QCOMPARE(navigationsTo(*app, QStringLiteral("http://often.shop.test/")), 0);
    }

    void theTypedAddressesListKeepsItsKeys()
    {
        const QString typed = QStringLiteral("http://shopping.typed.test/");
        app->addressBar()->typedUrls()->add(typed);
        app->addressBar()->setMoreSuggestions({});
        QTest::keyClicks(edit, QStringLiteral("shop"));
        QAbstractItemView *typedList = edit->completer()->popup();
        QTRY_VERIFY(typedList->isVisible());
        // Both lists are there; ours lies under the typed one, not over it.
        QVERIFY(suggestions->popup()->isVisible());
        QVERIFY(suggestions->popup()->geometry().top() >= typedList->mapToGlobal(QPoint(0, typedList->height())).y());
        // Down and Enter are the typed list's: its entry opens, once.
        QTest::keyClick(typedList, Qt::Key_Down);
        QTest::keyClick(typedList, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(navigationsTo(*app, typed), 1);
        QVERIFY(!suggestions->popup()->currentIndex().isValid());
        QCOMPARE(navigationsTo(*app, QStringLiteral("http://often.shop.test/")), 0);
        QCOMPARE(app->pages->count(), 1);
    }

    void theBoxsOwnListTakesOver()
    {
        app->program->addressBox()->appendHistory(QStringLiteral("http://listed.test/"));
        QTest::keyClicks(edit, QStringLiteral("shop"));
        QVERIFY(suggestions->popup()->isVisible());
        app->widget<QComboBox>("CBURL")->showPopup();
        QTRY_VERIFY(app->widget<QComboBox>("CBURL")->view()->isVisible());
        QVERIFY(!suggestions->popup()->isVisible());
        app->widget<QComboBox>("CBURL")->hidePopup();
    }

    void offForABoxOrAPageThatAsks()
    {
        suggestions->setEnabled(false);
        QTest::keyClicks(edit, QStringLiteral("shop"));
        QVERIFY(!suggestions->popup()->isVisible());
        suggestions->setEnabled(true);
        bool allowed = false;
        suggestions->setAllowed([&allowed] { return allowed; });
        QTest::keyClicks(edit, QStringLiteral("."));
        QVERIFY(!suggestions->popup()->isVisible());
        allowed = true;
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(suggestions->popup()->isVisible());
        // Leaving the box closes the list.
        app->widget<QComboBox>("ComboBoxSearch")->setFocus();
        QVERIFY(!suggestions->popup()->isVisible());
    }
};

QTEST_MAIN(TestHistorySuggestions)
#include "tst_historysuggestions.moc"

#include "../history/historytesting.h"
#include "appfixture.h"
#include "history/history.h"
#include "statusbar/clockface.h"
#include "statusbar/clockformat.h"
#include "statusbar/localtime.h"
#include "statusbar/setform.h"
#include "statusbar/statusline.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QScreen>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyleHints>
#include <QTemporaryDir>
#include <QTest>

#include <stdio.h>
#include <time.h>

class TestClock : public QObject
{
    Q_OBJECT

private:
    static std::function<QDateTime()> fixed(const QDateTime &at)
    {
        return [at] { return at; };
    }

private slots:
    void expandsTheFormat_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        QTest::newRow("morning") << QDateTime(QDate(2006, 3, 7), QTime(9, 5, 7)) << "2006-03-07_09:05:07";
        QTest::newRow("past midnight") << QDateTime(QDate(2026, 12, 31), QTime(0, 0, 1)) << "2026-12-31_00:00:01";
        QTest::newRow("evening") << QDateTime(QDate(999, 11, 22), QTime(23, 59, 59)) << "999-11-22_23:59:59";
    }

    void expandsTheFormat()
    {
        QFETCH(QDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(ClockFormat::expand(ClockFormat::kFormat, now), text);
        QCOMPARE(ClockFormat::datePart(7, now), QString());
        QCOMPARE(ClockFormat::datePart(1, QDateTime()), QString());
        QCOMPARE(ClockFormat::expand(ClockFormat::kFormat, QDateTime()), QStringLiteral("--_::"));
    }

    void aTickReadsTheClockOnce()
    {
        // Each reading moves on by a second: read per part, the text would mix two days.
        QStatusBar bar;
        StatusLine status(&bar);
        TSetForm form(&status);
        form.stopClock();
        QDateTime next(QDate(2006, 3, 7), QTime(23, 59, 59, 500));
        int reads = 0;
        form.clock = [&] {
            ++reads;
            return std::exchange(next, next.addSecs(1));
        };
        form.tick();
        QCOMPARE(reads, 1);
        QCOMPARE(status.text(3), QStringLiteral("2006-03-07_23:59:59"));
        // Started again: shown and timed from the same reading.
        form.startClock();
        QCOMPARE(reads, 2);
        QCOMPARE(status.text(3), QStringLiteral("2006-03-08_00:00:00"));
        // A larger font: the next second is measured again and fits.
        QWidget *text = bar.findChild<QWidget *>(QStringLiteral("ClockText"));
        const int height = text->height();
        QFont larger = text->font();
        larger.setPointSize(larger.pointSize() * 3);
        text->setFont(larger);
        form.tick();
        QVERIFY(text->height() > height);
        QVERIFY(text->width() >= text->fontMetrics().horizontalAdvance(status.text(3)));
    }

    void theClockLooksAsALabelWouldShowIt()
    {
        // Its digits are placed without a text layout; other texts are laid out as usual.
        for (const QString &text : {QStringLiteral("2006-03-07_09:05:31"), QStringLiteral("时钟 09:05")}) {
            ClockFace face;
            QLabel label(text);
            face.setText(text);
            face.setFixedSize(label.sizeHint());
            label.setFixedSize(label.sizeHint());
            QCOMPARE(face.grab().toImage(), label.grab().toImage());
        }
    }

    void theLocalTimeFollowsTheZoneAndItsTransitions()
    {
        const QByteArray zone = qgetenv("TZ");
        const auto restore = qScopeGuard([zone] {
            zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
            tzset();
        });
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QTemporaryDir dir;
        // The zone file as desktops have it: a link to the zone's own file.
        const QString zoneFile = dir.filePath(QStringLiteral("localtime"));
        for (const char *name : {"a", "b"})
            QVERIFY(QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a")), zoneFile));
        LocalTime local(zoneFile);
        auto asSystem = [](qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime); };
        // Each second around both of the year's changes of offset, read in and out of order.
        for (const QDateTime &change : {QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC),
                                      QDateTime(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC)}) {
            const qint64 at = change.toMSecsSinceEpoch();
            for (qint64 ms = at - 1800 * 1000; ms < at + 1800 * 1000; ms += 999) {
                const QDateTime mine = local.at(ms);
                QCOMPARE(mine.date(), asSystem(ms).date());
                QCOMPARE(mine.time(), asSystem(ms).time());
            }
            QCOMPARE(local.at(at - 1).time(), asSystem(at - 1).time());
            QVERIFY(local.at(at - 1).offsetFromUtc() != local.at(at).offsetFromUtc());
        }
        // A new zone shows once its file changes: written over, then the link replaced.
        const qint64 noon = QDateTime(QDate(2026, 7, 1), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch();
        QCOMPARE(local.at(noon).time(), QTime(12, 0));
        qputenv("TZ", "Asia/Shanghai");
        tzset();
        QFile written(dir.filePath(QStringLiteral("a")));
        QVERIFY(written.open(QIODevice::Append) && written.write("x") == 1);
        written.close();
        QTRY_COMPARE(local.at(noon).time(), QTime(18, 0));
        qputenv("TZ", "America/New_York");
        tzset();
        const QString newLink = dir.filePath(QStringLiteral("new"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("b")), newLink));
        QVERIFY(::rename(QFile::encodeName(newLink).constData(), QFile::encodeName(zoneFile).constData()) == 0);
        QTRY_COMPARE(local.at(noon).time(), QTime(6, 0));
    }

    void aTickRepaintsTheClockAloneAndLaysNothingOut()
    {
        // The address box's cursor blinks twice a second, painting its panel and what lies
        // under it: not the clock's doing, and counted once the ticks take long (a busy machine).
        const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
        QGuiApplication::styleHints()->setCursorFlashTime(0);
        const auto restore = qScopeGuard([flashTime] { QGuiApplication::styleHints()->setCursorFlashTime(flashTime); });
        AppFixture app;
        app.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.main));
        struct Watch : QObject
        {
            QHash<QObject *, int> paints;
            int layouts = 0;
            bool eventFilter(QObject *object, QEvent *event) override
            {
                if (event->type() == QEvent::Paint)
                    ++paints[object];
                else if (event->type() == QEvent::LayoutRequest)
                    ++layouts;
                return false;
            }
        } watch;
        // What start-up puts off to the event loop (the history opening) is done first.
        QVERIFY(HistoryTesting::waitReady(app.program->history()));
        TSetForm *clock = app.clock();
        QWidget *text = app.main->findChild<QWidget *>(QStringLiteral("ClockText"));
        clock->stopClock();
        clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 5, 31)));
        qApp->installEventFilter(&watch);
        clock->tick();
        // Counted from the first text's paint on (it may lay out once: a new width).
        QTRY_VERIFY(watch.paints.value(text) > 0);
        // Layouts asked for before this point (the first text, start-up) are done first; a
        // widget laid out may ask its parent for a layout in turn (newer Qt takes one more
        // step up), until none is asked for.
        for (int done = -1; done != watch.layouts;) {
            done = watch.layouts;
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        }
        // And what those layouts moved is painted now, not counted against the ticks.
        app.main->repaint();
        watch.paints.clear();
        watch.layouts = 0;
        for (int second = 32; second < 35; ++second) {
            const int before = watch.paints.value(text);
            clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 5, second)));
            clock->tick();
            // Painted: whatever else the tick made dirty was painted with it.
            QTRY_VERIFY(watch.paints.value(text) > before);
        }
        qApp->removeEventFilter(&watch);
        QCOMPARE(app.statusText(3), QStringLiteral("2006-03-07_09:05:34"));
        QCOMPARE(watch.layouts, 0);
        QVERIFY(watch.paints.value(text) > 0);
        watch.paints.remove(text);
        QStringList others;
        for (QObject *widget : watch.paints.keys())
            others << widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName();
        QVERIFY2(watch.paints.isEmpty(), qPrintable(others.join(QStringLiteral(", ")) + QStringLiteral(" painted")));
    }

    void aNewSecondIsDrawnInPlaceOnX11()
    {
        // Run once more, alone, on an X server of its own (tst_clock_x11).
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("drawn in place on X11 only");
        QMainWindow window;
        StatusLine status(window.statusBar());
        window.resize(900, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *face = window.findChild<ClockFace *>(QStringLiteral("ClockText"));
        // What the X server shows in the clock's box.
        const auto onScreen = [&](QRect area = {}) {
            if (area.isNull())
                area = QRect(face->mapTo(&window, QPoint(0, 0)), face->size());
            return window.screen()->grabWindow(window.winId(), area.x(), area.y(), area.width(), area.height()).toImage();
        };
        status.setClockText(QStringLiteral("2006-03-07_09:05:31"));
        // The first text sizes the box: laid out and painted by Qt.
        QTRY_VERIFY(face->width() >= face->fontMetrics().horizontalAdvance(status.text(3)));
        window.repaint();
        const QImage first = onScreen();

        // The next second is on the screen before the event loop runs again.
        status.setClockText(QStringLiteral("2006-03-07_09:05:32"));
        QVERIFY(face->drewInPlace());
        const QImage second = onScreen();
        QVERIFY(second != first);
        // The window's image has it too: the window sent again from it (as when uncovered) shows it.
        window.backingStore()->flush(QRegion(window.rect()), window.windowHandle());
        QCOMPARE(onScreen(), second);
        // And it is what Qt's own repaint draws.
        face->repaint();
        QCOMPARE(onScreen(), second);

        // A widget over a corner of the clock, not opaque as far as Qt knows: the next second
        // waits for Qt's repaint, and the corner stays covered.
        struct Cover : QWidget
        {
            using QWidget::QWidget;
            void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), Qt::red); }
        } cover(&window);
        const QRect corner(face->mapTo(&window, QPoint(0, 0)), QSize(6, 6));
        cover.setGeometry(corner);
        cover.show();
        QTRY_COMPARE(onScreen(corner).pixelColor(2, 2), QColor(Qt::red));
        const QImage covered = onScreen(corner);
        status.setClockText(QStringLiteral("2006-03-07_09:05:33"));
        QVERIFY(!face->drewInPlace());
        QCOMPARE(onScreen(corner), covered);
        QTRY_VERIFY(onScreen() != second);
        QCOMPARE(onScreen(corner), covered);
        cover.hide();
        status.setClockText(QStringLiteral("2006-03-07_09:05:34"));
        QVERIFY(face->drewInPlace());
    }

    void eachTickComesJustAfterItsSecondBegins()
    {
        AppFixture app;
        TSetForm *clock = app.clock();
        clock->stopClock();
        QCOMPARE(clock->msToNextTick(), -1);
        clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 5, 31, 700)));
        clock->startClock();
        // 300 ms to the next second, then the margin (a coarse timer may move it by 5 %); not
        // a whole second from now, and not before the second changes.
        const int wait = clock->msToNextTick();
        QVERIFY2(wait >= 300 && wait <= (300 + TSetForm::kAfterSecondMs) * 105 / 100 + 1, qPrintable(QString::number(wait)));

        // A tick that fired a little early (still in the old second) waits only for the rest of it.
        clock->stopClock();
        clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 5, 31, 995)));
        clock->startClock();
        QVERIFY(clock->msToNextTick() <= (5 + TSetForm::kAfterSecondMs) * 105 / 100 + 1);
    }

    void panelThreeFollowsTheClockWhileShown()
    {
        AppFixture app;
        TSetForm *clock = app.clock();
        clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 5, 31)));
        app.main->show();
        QTRY_COMPARE_WITH_TIMEOUT(app.statusText(3), QStringLiteral("2006-03-07_09:05:31"), 2500);

        app.main->setWindowState(Qt::WindowMinimized);
        clock->clock = fixed(QDateTime(QDate(2006, 3, 7), QTime(9, 6, 0)));
        // Minimized, the clock stops: nothing is left to move the text.
        QTRY_VERIFY(!clock->clockRunning());
        QCOMPARE(app.statusText(3), QStringLiteral("2006-03-07_09:05:31"));

        // Current again at once after the restore.
        app.main->setWindowState(Qt::WindowNoState);
        QCOMPARE(app.statusText(3), QStringLiteral("2006-03-07_09:06:00"));
    }
};

QTEST_MAIN(TestClock)
#include "tst_clock.moc"

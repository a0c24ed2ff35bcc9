#include "pages/pagecaption.h"

#include <QTest>

class TestPageCaption : public QObject
{
    Q_OBJECT

private slots:
    void fullTitleKeeps52Characters()
    {
        const QString title52(52, QLatin1Char('t'));
        QCOMPARE(PageCaption::fullTitle(title52), title52);
        QCOMPARE(PageCaption::fullTitle(title52 + QLatin1Char('x')), title52 + QStringLiteral("..."));
        // A character outside the basic plane is never cut in half.
        const QString emoji = QString(51, QLatin1Char('a')) + QStringLiteral("😀😀");
        QCOMPARE(PageCaption::fullTitle(emoji), QString(51, QLatin1Char('a')) + QStringLiteral("..."));
    }

    void shortTitlesArePaddedToTenBytes_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1 byte") << "a" << "     a    ";
        QTest::newRow("3 Latin letters") << "abc" << "    abc   ";
        QTest::newRow("6 bytes") << "空白页" << "  空白页  ";
        QTest::newRow("4 Chinese = 8 bytes") << "新浪首页" << " 新浪首页 ";
        QTest::newRow("9 bytes") << "abcdefghi" << " abcdefghi";
        QTest::newRow("10 bytes") << "abcdefghij" << "abcdefghij";
        QTest::newRow("10 Chinese") << "一二三四五六七八九十" << "一二三四五六七八九十";
        QTest::newRow("11 characters") << "abcdefghijk" << "abcdefgh..";
        QTest::newRow("11 Chinese") << "一二三四五六七八九十壹" << "一二三四五六七八..";
        QTest::newRow("about:blank") << "about:blank" << "   空白页   ";
        QTest::newRow("ABOUT:BLANK") << "ABOUT:BLANK" << "   空白页   ";
        QTest::newRow("outside GBK counts 4") << "😀" << "   😀   ";
    }

    void shortTitlesArePaddedToTenBytes()
    {
        QFETCH(QString, title);
        QFETCH(QString, caption);
        QCOMPARE(PageCaption::shortTitle(title), caption);
    }

    // A pinned tab shows one character a reader sees: never a mark of direction or a blank,
    // never half of a surrogate pair or a letter without its accent.
    void pinnedCaptionIsTheFirstVisibleCharacter()
    {
        QCOMPARE(PageCaption::pinnedCaption(QStringLiteral("新闻头条")), QStringLiteral("新"));
        QCOMPARE(PageCaption::pinnedCaption(QStringLiteral("\u200F\u2067  abc")), QStringLiteral("a"));
        QCOMPARE(PageCaption::pinnedCaption(QStringLiteral("\U0001F600 smile")), QStringLiteral("\U0001F600"));
        QCOMPARE(PageCaption::pinnedCaption(QStringLiteral("e\u0301tude")), QStringLiteral("e\u0301"));
        QCOMPARE(PageCaption::pinnedCaption(QStringLiteral(" \u200E ")), QStringLiteral("空"));
        QCOMPARE(PageCaption::pinnedCaption(PageCaption::kBlankCaption), QStringLiteral("空"));
    }
};

QTEST_GUILESS_MAIN(TestPageCaption)
#include "tst_pagecaption.moc"

#include "adblock/filterlists.h"
#include "adblock/filtersources.h"
#include "adblock/rulesfile.h"
#include "core/textcodec.h"
#include "appfixture.h"
#include "filepermissions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

// The user's filter file is theirs: "此网站不过滤" adds or takes away its one line, and
// every other byte stays, however often it is switched.
class TestRulesFile : public QObject
{
    Q_OBJECT

private:
    static QByteArray bytesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void addingAndRemovingGivesBackTheSameBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("lf") << QByteArray("! 我的规则\nbbs.example.com##.广告条\n");
        QTest::newRow("cr lf, blank lines") << QByteArray("! 注释\r\n\r\nbbs.example.com##.广告条\r\n\r\n");
        QTest::newRow("no line end at the end") << QByteArray("a.example##.x\r\nbbs.example.com##.广告条");
        QTest::newRow("lone cr") << QByteArray("! x\rbbs.example.com##.广告条\r");
        QTest::newRow("mixed, byte-order mark") << QByteArray("\xEF\xBB\xBF! a\r\nb\nc\r  \t\nbbs.example.com##.广告条");
        QTest::newRow("gb18030 comment") << TextCodec::encode(u"! 我的广告过滤规则，每行一条") + "\r\n";
    }

    void addingAndRemovingGivesBackTheSameBytes()
    {
        QFETCH(QByteArray, bytes);
        const QString rule = QStringLiteral("@@||example.com^$document");
        const QByteArray with = RulesFile::withLine(bytes, rule, true);
        QVERIFY(RulesFile::containsLine(with, rule));
        QVERIFY(with.startsWith(bytes.left(bytes.size() - 1)));
        QCOMPARE(RulesFile::withLine(with, rule, false), bytes);
        // The line ends of the file are the rule's too.
        if (bytes.contains("\r\n"))
            QVERIFY(with.contains(rule.toUtf8() + "\r\n") || with.endsWith(rule.toUtf8()));
    }

    void onlyTheRulesOwnLineIsRemoved()
    {
        const QByteArray bytes("@@||example.com^$document.more\n  @@||example.com^$document  \n! @@||example.com^$document\n");
        QCOMPARE(RulesFile::withLine(bytes, QStringLiteral("@@||example.com^$document"), false),
                 QByteArray("@@||example.com^$document.more\n! @@||example.com^$document\n"));
    }

    // Through the menu's own path, many times over, with a file a person wrote.
    void manyTogglesKeepTheFileByteForByte()
    {
        const QString file = FilterSources::userRules();
        const QByteArray mine("! 我自己的规则\r\n\r\nbbs.example.com##.广告条\r\n# odd\rline\n||ads.example^");
        writeFile(file, mine);
        FilterLists lists;
        lists.setSources([file] { return QStringList{file}; });
        const QUrl page(QStringLiteral("http://bbs.example.com/forum"));
        const QUrl other(QStringLiteral("https://www.other.example.org/"));
        for (int i = 0; i < 25; ++i) {
            QVERIFY(lists.setSiteExcepted(page, true));
            QVERIFY(lists.siteExcepted(page));
            QVERIFY(lists.setSiteExcepted(other, true));
            QVERIFY(lists.setSiteExcepted(page, false));
            QVERIFY(!lists.siteExcepted(page));
            QVERIFY(lists.siteExcepted(other));
            QVERIFY(lists.setSiteExcepted(other, false));
            QCOMPARE(bytesOf(file), mine);
        }
        // The Chinese selector is read as UTF-8, as written.
        QVERIFY(QString::fromUtf8(bytesOf(file)).contains(QStringLiteral("bbs.example.com##.广告条")));
    }

    void anUnreadableFileIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("filters.txt"));
        writeFile(file, "mine##.x\n");
        // A FIFO is refused at once, not waited on; a link is neither followed nor replaced.
        const QString fifo = dir.filePath(QStringLiteral("fifo.txt"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        const QString link = dir.filePath(QStringLiteral("link.txt"));
        QVERIFY(QFile::link(file, link));
        for (const QString &planted : {fifo, link}) {
            QString why;
            QVERIFY(!RulesFile::setLine(planted, QStringLiteral("@@||a.example^$document"), true, &why));
            QVERIFY(!why.isEmpty());
        }
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(bytesOf(file), QByteArray("mine##.x\n"));
        const FilePermissionsApply permissions;
        if (!permissions.apply())
            QSKIP("file permissions do not stop this process (root without the right to drop CAP_DAC_OVERRIDE)");
        QFile::setPermissions(file, QFileDevice::Permissions());
        QString error;
        QVERIFY(!RulesFile::setLine(file, QStringLiteral("@@||a.example^$document"), true, &error));
        QVERIFY(!error.isEmpty());
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(bytesOf(file), QByteArray("mine##.x\n"));
    }

    void theMadeFileIsUtf8AndNeverRewritten()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("sub/filters.txt"));
        QVERIFY(RulesFile::create(file, {QStringLiteral("! 我的广告过滤规则")}));
        QCOMPARE(bytesOf(file), QStringLiteral("! 我的广告过滤规则\n").toUtf8());
        writeFile(file, "edited\r\n");
        QVERIFY(RulesFile::create(file, {QStringLiteral("! again")}));
        QCOMPARE(bytesOf(file), QByteArray("edited\r\n"));
    }
};

QTEST_MAIN(TestRulesFile)
#include "tst_rulesfile.moc"

#include "core/listfile.h"
#include "core/textcodec.h"
#include "appfixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestListFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path() const { return dir.path() + QStringLiteral("/list.lst"); }
    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void saveEndsEveryLineWithCrLfInGb18030()
    {
        QVERIFY(ListFile::save(path(), {QStringLiteral("a"), QStringLiteral("中文"), QStringLiteral("😀")}));
        QCOMPARE(fileBytes(), QByteArray("a\r\n\xD6\xD0\xCE\xC4\r\n\x94\x39\xFC\x36\r\n"));
        QCOMPARE(*ListFile::load(path()), (QStringList{QStringLiteral("a"), QStringLiteral("中文"), QStringLiteral("😀")}));
    }

    void emptyListWritesAnEmptyFileThatLoadsEmpty()
    {
        QVERIFY(ListFile::save(path(), {}));
        QVERIFY(QFile::exists(path()));
        QCOMPARE(fileBytes(), QByteArray());
        QCOMPARE(ListFile::load(path())->size(), 0);
    }

    void missingFileLoadsNothing()
    {
        QVERIFY(!ListFile::load(dir.path() + QStringLiteral("/none.lst")).has_value());
    }

    void loadSplitsAtEveryKindOfLineEnd()
    {
        writeFile(path(), "one\r\ntwo\rthree\nfour\r\n\r\nlast");
        QCOMPARE(*ListFile::load(path()),
                 (QStringList{"one", "two", "three", "four", "", "last"}));
    }

    void invalidBytesBecomeReplacementCharactersAndNothingElseIsLost()
    {
        writeFile(path(), "ok\r\nbad\xFF\xFF" "end\r\n\xD6\xD0\r\ntrail\x81");
        const QStringList lines = *ListFile::load(path());
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral("ok"));
        QVERIFY(lines[1].startsWith(QStringLiteral("bad\uFFFD")));
        QVERIFY(lines[1].endsWith(QStringLiteral("end")));
        QCOMPARE(lines[2], QStringLiteral("中"));
        QCOMPARE(lines[3], QStringLiteral("trail\uFFFD"));
    }

    void lineBreaksInsideAnEntryDoNotSplitIt()
    {
        ListFile::save(path(), {QStringLiteral("a\r\nb"), QStringLiteral("c")});
        QCOMPARE(ListFile::load(path())->size(), 2);
    }

    void twoFieldLinesSplitAtTheFirstHash()
    {
        auto entry = ListFile::split(QStringLiteral("Title#http://a.b/#frag"));
        QCOMPARE(entry.title, QStringLiteral("Title"));
        QCOMPARE(entry.address, QStringLiteral("http://a.b/#frag"));
        entry = ListFile::split(QStringLiteral("http://no.title/"));
        QCOMPARE(entry.title, QString());
        QCOMPARE(entry.address, QStringLiteral("http://no.title/"));
        entry = ListFile::split(QStringLiteral("#only-address"));
        QCOMPARE(entry.title, QString());
        QCOMPARE(entry.address, QStringLiteral("only-address"));
        QCOMPARE(ListFile::join(QStringLiteral("t"), QStringLiteral("a#b")), QStringLiteral("t#a#b"));
    }

    void byteLengthCountsLikeTheLocalCodePage()
    {
        QCOMPARE(TextCodec::byteLength(QStringLiteral("abc")), 3);
        QCOMPARE(TextCodec::byteLength(QStringLiteral("空白页")), 6);
        QCOMPARE(TextCodec::byteLength(QStringLiteral("a😀")), 5);
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"

#include "core/configstore.h"
#include "core/textcodec.h"
#include "appfixture.h"
#include "filepermissions.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestConfigStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path() const { return dir.path() + QStringLiteral("/Config.ini"); }
    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() { QFile::remove(path()); }

    void missingFileGivesDefaultsAndIsNotCreatedByReading()
    {
        ConfigStore store(path());
        QCOMPARE(store.readString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1")), QStringLiteral("1"));
        QCOMPARE(store.readInteger(kRunData, QStringLiteral("LClickSleepTime"), 500), 500);
        QVERIFY(!store.exists());
    }

    void firstWriteCreatesSectionWithCrLf()
    {
        ConfigStore store(path());
        QVERIFY(store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0")));
        QCOMPARE(fileBytes(), QByteArray("[RunData]\r\nWindowMax=0\r\n"));
        QVERIFY(store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("3")));
        QCOMPARE(fileBytes(), QByteArray("[RunData]\r\nWindowMax=0\r\nSearchOn=3\r\n"));
        QVERIFY(store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1")));
        QCOMPARE(fileBytes(), QByteArray("[RunData]\r\nWindowMax=1\r\nSearchOn=3\r\n"));
    }

    void namesCompareWithoutCaseAndValuesKeepTheirBlanks()
    {
        writeFile(path(), "[rundata]\r\nwindowmax= 0 \r\nPanelExtended2= 0\r\n");
        ConfigStore store(path());
        QCOMPARE(store.readString(kRunData, QStringLiteral("WindowMax"), QString()), QStringLiteral(" 0 "));
        QCOMPARE(store.readString(kRunData, QStringLiteral("PANELEXTENDED2"), QString()), QStringLiteral(" 0"));
        store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1"));
        QCOMPARE(fileBytes(), QByteArray("[rundata]\r\nWindowMax=1\r\nPanelExtended2= 0\r\n"));
    }

    void writesKeepEverythingElseByteForByte()
    {
        const QByteArray before = "; written by hand\n[Other]\nname=值\n\n[RunData]\r\nTrueClose=0\r\n"
                                  "a line without equals\r\n\r\n[Tail]\rx=1";
        writeFile(path(), TextCodec::encode(QString::fromUtf8(before)));
        ConfigStore store(path());
        store.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1"));
        store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("3"));
        const QByteArray expected = "; written by hand\n[Other]\nname=值\n\n[RunData]\r\nTrueClose=1\r\n"
                                    "a line without equals\r\nSearchOn=3\r\n\r\n[Tail]\rx=1";
        QCOMPARE(TextCodec::decode(fileBytes()), QString::fromUtf8(expected));
        QCOMPARE(store.readString(QStringLiteral("Other"), QStringLiteral("name"), QString()), QStringLiteral("值"));
    }

    void newSectionAfterALastLineWithoutLineEnd()
    {
        writeFile(path(), "[Other]\r\nk=v");
        ConfigStore store(path());
        store.writeString(kRunData, QStringLiteral("RunOne"), QStringLiteral("0"));
        QCOMPARE(fileBytes(), QByteArray("[Other]\r\nk=v\r\n[RunData]\r\nRunOne=0\r\n"));
    }

    void duplicatesReadAndWriteTheFirstOccurrence()
    {
        writeFile(path(), "[RunData]\r\nSearchOn=3\r\nSearchOn=1\r\n[RunData]\r\nSearchOn=5\r\nRunOne=0\r\n");
        ConfigStore store(path());
        QCOMPARE(store.readString(kRunData, QStringLiteral("SearchOn"), QString()), QStringLiteral("3"));
        // A key only in the second copy of the section is still found.
        QCOMPARE(store.readString(kRunData, QStringLiteral("RunOne"), QString()), QStringLiteral("0"));
        store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1"));
        QCOMPARE(fileBytes(), QByteArray("[RunData]\r\nSearchOn=1\r\nSearchOn=1\r\n[RunData]\r\nSearchOn=5\r\nRunOne=0\r\n"));
    }

    void hostileFilesLoadAndSurviveOurWrites_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray random(64 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(42);
        for (char &c : random)
            c = char(generator.bounded(256));
        QTest::newRow("random bytes") << random;
        QTest::newRow("NUL bytes") << QByteArray("[RunData]\r\nSearch\0On=3\r\nWindowMax=0\0\r\n", 38);
        QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF[RunData]\r\n标题=中文\r\nWindowMax=0\r\n");
        QTest::newRow("UTF-8 without BOM") << QByteArray("[RunData]\n标题=中文\nWindowMax=0\n");
        QTest::newRow("only a header") << QByteArray("[RunData]");
        QTest::newRow("unclosed header") << QByteArray("[RunData\r\nWindowMax=0\r\n");
    }

    void hostileFilesLoadAndSurviveOurWrites()
    {
        QFETCH(QByteArray, content);
        writeFile(path(), content);
        ConfigStore store(path());
        store.readString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("1"));
        QVERIFY(store.writeString(kRunData, QStringLiteral("TrueClose"), QStringLiteral("1")));
        QCOMPARE(store.readString(kRunData, QStringLiteral("TrueClose"), QString()), QStringLiteral("1"));
        // Our write inserted text in one place; every byte of the original is still there.
        const QByteArray after = fileBytes();
        qsizetype prefix = 0;
        while (prefix < content.size() && prefix < after.size() && content[prefix] == after[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < content.size() - prefix && suffix < after.size() - prefix &&
               content[content.size() - 1 - suffix] == after[after.size() - 1 - suffix])
            ++suffix;
        QCOMPARE(prefix + suffix, content.size());
        const QByteArray inserted = after.mid(prefix, after.size() - prefix - suffix);
        QVERIFY2(inserted.contains("TrueClose=1") && inserted.size() <= 26, inserted.constData());
    }

    void utf8FileReadsItsValues()
    {
        writeFile(path(), "[RunData]\n标题=中文\nWindowMax=0\n");
        ConfigStore store(path());
        QCOMPARE(store.readString(kRunData, QStringLiteral("标题"), QString()), QStringLiteral("中文"));
        QCOMPARE(store.readString(kRunData, QStringLiteral("WindowMax"), QString()), QStringLiteral("0"));
    }

    void fiftyMegabytesLoadAndWrite()
    {
        QByteArray big;
        big.reserve(50 * 1024 * 1024 + 100);
        big += "[Junk]\r\n";
        const QByteArray line = "key_with_some_length=a value that fills the file up quickly\r\n";
        while (big.size() < 50 * 1024 * 1024)
            big += line;
        big += "[RunData]\r\nSearchOn=3\r\n";
        writeFile(path(), big);
        ConfigStore store(path());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(store.readString(kRunData, QStringLiteral("SearchOn"), QString()), QStringLiteral("3"));
        QVERIFY(store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0")));
        QCOMPARE(fileBytes().size(), big.size() + qsizetype(strlen("WindowMax=0\r\n")));
        QVERIFY2(timer.elapsed() < 30000, "a 50 MB file must not take minutes");
    }

    void failedWriteLeavesTheFileWhole()
    {
        const FilePermissionsApply permissions;
        if (!permissions.apply())
            QSKIP("file permissions do not stop this process (root without the right to drop CAP_DAC_OVERRIDE)");
        QTemporaryDir readOnly;
        const QString file = readOnly.path() + QStringLiteral("/Config.ini");
        writeFile(file, "[RunData]\r\nSearchOn=3\r\n");
        QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::ExeOwner);
        ConfigStore store(file);
        QVERIFY(!store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1")));
        QCOMPARE(store.readString(kRunData, QStringLiteral("SearchOn"), QString()), QStringLiteral("3"));
        QFile::setPermissions(readOnly.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A file that is there but cannot be read is never replaced by one holding only the
    // key being written: the write fails, the bytes stay, and the value goes in later.
    void unreadableFileIsNeverReplaced()
    {
        const QByteArray original("[RunData]\r\nSearchOn=3\r\nStopPopup=0\r\n; mine\r\n[Other]\r\nx=1\r\n");
        writeFile(path(), original);
        ConfigStore store(path());
        {
            const FilePermissionsApply permissions;
            if (!permissions.apply())
                QSKIP("file permissions do not stop this process (root without the right to drop CAP_DAC_OVERRIDE)");
            QFile::setPermissions(path(), QFileDevice::Permissions());
            QString error;
            QVERIFY(!store.load(&error));
            QVERIFY(!error.isEmpty());
            QVERIFY(!store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0")));
            QVERIFY(store.hasUnsaved());
        }
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(fileBytes(), original);
        // Readable again: the kept value goes in with the next write, the rest stays.
        QVERIFY(store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1")));
        QVERIFY(!store.hasUnsaved());
        QCOMPARE(fileBytes(),
                 QByteArray("[RunData]\r\nSearchOn=1\r\nStopPopup=0\r\n; mine\r\nWindowMax=0\r\n[Other]\r\nx=1\r\n"));
    }

    void aFolderInThePlaceOfTheFileIsNotReadAsEmpty()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("Config.ini"));
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
        ConfigStore store(file);
        QVERIFY(!store.load());
        QVERIFY(!store.writeString(kRunData, QStringLiteral("WindowMax"), QStringLiteral("0")));
        QVERIFY(QFileInfo::exists(file + QStringLiteral("/inside")));
    }

    void writeReplacesTheFileAtomically()
    {
        writeFile(path(), "[RunData]\r\nSearchOn=3\r\n");
        struct stat before = {};
        ::stat(QFile::encodeName(path()).constData(), &before);
        ConfigStore store(path());
        store.writeString(kRunData, QStringLiteral("SearchOn"), QStringLiteral("1"));
        struct stat after = {};
        ::stat(QFile::encodeName(path()).constData(), &after);
        // A new file took the old one's name: the old one was never truncated in place.
        QVERIFY(before.st_ino != after.st_ino);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Config.ini")});
    }

    void severalKeysInOneWriteAndNothingWrittenTwice()
    {
        ConfigStore store(path());
        QVERIFY(store.writeStrings(kRunData, {{QStringLiteral("MainFormTop"), QStringLiteral("1")},
                                              {QStringLiteral("MainFormLeft"), QStringLiteral("2")}}));
        QCOMPARE(fileBytes(), QByteArray("[RunData]\r\nMainFormTop=1\r\nMainFormLeft=2\r\n"));
        struct stat before = {};
        ::stat(QFile::encodeName(path()).constData(), &before);
        QVERIFY(store.writeStrings(kRunData, {{QStringLiteral("MainFormTop"), QStringLiteral("1")},
                                              {QStringLiteral("MainFormLeft"), QStringLiteral("2")}}));
        struct stat after = {};
        ::stat(QFile::encodeName(path()).constData(), &after);
        QCOMPARE(after.st_ino, before.st_ino);
    }

    void integerReads_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("lenient");
        QTest::addColumn<bool>("strictOk");
        QTest::newRow("decimal") << "250" << 250 << true;
        QTest::newRow("blanks") << " 42 " << 42 << true;
        QTest::newRow("negative") << "-7" << -7 << true;
        QTest::newRow("hex") << "0x1F4" << 500 << false;
        QTest::newRow("letters") << "abc" << 999 << false;
        QTest::newRow("empty") << "" << 999 << false;
        QTest::newRow("too big") << "99999999999" << 999 << false;
    }

    void integerReads()
    {
        QFETCH(QString, text);
        QFETCH(int, lenient);
        QFETCH(bool, strictOk);
        QCOMPARE(parseLenientInteger(text, 999), lenient);
        QCOMPARE(parseStrictInteger(text).has_value(), strictOk);
    }
};

QTEST_GUILESS_MAIN(TestConfigStore)
#include "tst_configstore.moc"

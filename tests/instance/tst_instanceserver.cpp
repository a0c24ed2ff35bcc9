#include "instance/forwardingrules.h"
#include "instance/instanceforwarder.h"
#include "instance/instancelock.h"
#include "instance/instanceprotocol.h"
#include "instance/instanceserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

// The listener of the running instance, with well-behaved and hostile clients.
class TestInstanceServer : public QObject
{
    Q_OBJECT

private:
    QStringList received;
    std::unique_ptr<InstanceServer> server;

    static std::unique_ptr<QLocalSocket> connectClient()
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(InstanceProtocol::socketPath());
        if (!socket->waitForConnected(2000))
            return nullptr;
        return socket;
    }

    // Sends one framed text and waits, with the event loop running, for its answer.
    bool sendAndWait(QLocalSocket &socket, const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
        return QTest::qWaitFor([&] { return socket.bytesAvailable() > 0 || socket.state() != QLocalSocket::ConnectedState; }, 3000) &&
               socket.read(1) == QByteArray(1, InstanceProtocol::kHandled);
    }

private slots:
    void init()
    {
        received.clear();
        server = std::make_unique<InstanceServer>([this](const QString &text) { received << text; });
        QVERIFY(server->listen());
    }
    void cleanup() { server.reset(); }

    void socketIsForTheUserOnly()
    {
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(InstanceProtocol::socketPath()).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0077, 0u);
    }

    void forwarderSendsEachArgumentInOrderAndWaitsForEach()
    {
        int result = -1;
        QThread *thread = QThread::create([&] {
            result = InstanceForwarder::forward({QStringLiteral("http://one/"), QStringLiteral("www.二.com"), QStringLiteral("three.html")}, 5000);
        });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 10000);
        delete thread;
        QCOMPARE(result, 0);
        QCOMPARE(received, (QStringList{"http://one/", "www.二.com", "three.html"}));
    }

    void forwarderWithoutArgumentsAsksToBringTheWindowUp()
    {
        int result = -1;
        QThread *thread = QThread::create([&] { result = InstanceForwarder::forward({}, 5000); });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 10000);
        delete thread;
        QCOMPARE(result, 0);
        QCOMPARE(received, QStringList{QStringLiteral("0***0")});
    }

    void forwarderGivesUpWhenNobodyListens()
    {
        server.reset();
        QFile::remove(InstanceProtocol::socketPath());
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(InstanceForwarder::forward({QStringLiteral("http://a/")}, 1500), 1);
        QVERIFY(timer.elapsed() >= 1400);
    }

    // Addresses arrive whole, whatever their length up to the bound, in both length forms
    // and in order; one over the bound is not sent cut, and the rest still go.
    void longAddressesArriveWhole()
    {
        const QString query = QStringLiteral("http://long.example/?q=") + QString(300, QLatin1Char('x'));
        // Three UTF-8 bytes a character: the longest payload there is, in the four-byte form.
        const QString widest(InstanceProtocol::kMaxChars, QChar(0x4e2d));
        const QString ascii = QStringLiteral("http://a.example/") + QString(40000, QLatin1Char('a'));
        const QString tooLong = QStringLiteral("http://b.example/") + QString(InstanceProtocol::kMaxChars, QLatin1Char('b'));
        int result = -1;
        QThread *thread = QThread::create([&] {
            result = InstanceForwarder::forward({query, widest, tooLong, ascii, QStringLiteral("http://last/")}, 5000);
        });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 10000);
        delete thread;
        QCOMPARE(result, 1);
        QCOMPARE(received.size(), 4);
        QCOMPARE(received[0], query);
        QVERIFY(received[1] == widest);
        QVERIFY(received[2] == ascii);
        QCOMPARE(received[3], QStringLiteral("http://last/"));
    }

    void framesAreThoseEarlierVersionsReadUpToTheirLength()
    {
        // Short texts keep the two-byte length every running sablix reads; longer ones set
        // the top bit, which an older listener turns away instead of misreading.
        QCOMPARE(InstanceProtocol::frame(QStringLiteral("0***0")), QByteArray("\x00\x05" "0***0", 7));
        const QByteArray edge = InstanceProtocol::frame(QString(InstanceProtocol::kShortLimit - 1, QLatin1Char('e')));
        QCOMPARE(edge.left(2), QByteArray("\x7f\xff"));
        const QByteArray over = InstanceProtocol::frame(QString(InstanceProtocol::kShortLimit, QLatin1Char('e')));
        QCOMPARE(over.left(4), QByteArray("\x80\x00\x80\x00", 4));
        QVERIFY(InstanceProtocol::frame(QString(InstanceProtocol::kMaxChars + 1, QLatin1Char('e'))).isEmpty());
        // A surrogate pair is one character of the address, not cut in two.
        const QString pair = QString(InstanceProtocol::kMaxChars - 2, QLatin1Char('p')) + QString::fromUcs4(U"\U0001F600");
        QCOMPARE(InstanceProtocol::unframe(InstanceProtocol::frame(pair)).text, pair);
    }

    void aLengthOverTheBoundEndsTheConnection()
    {
        auto socket = connectClient();
        QVERIFY(socket);
        const int over = InstanceProtocol::kMaxPayload + 1;
        QByteArray header(4, 0);
        header[0] = char(0x80 | ((over >> 24) & 0x7f));
        header[1] = char((over >> 16) & 0xff);
        header[2] = char((over >> 8) & 0xff);
        header[3] = char(over & 0xff);
        socket->write(header + QByteArray(64, 'x'));
        socket->flush();
        QTRY_COMPARE(socket->state(), QLocalSocket::UnconnectedState);
        QVERIFY(received.isEmpty());
    }

    void garbageEndsOnlyThatConnection()
    {
        auto bad = connectClient();
        QVERIFY(bad);
        bad->write(QByteArray("\xFF\xFFthis is not a message"));
        bad->flush();
        QTRY_COMPARE(bad->state(), QLocalSocket::UnconnectedState);

        auto good = connectClient();
        QVERIFY(good);
        QVERIFY(sendAndWait(*good, InstanceProtocol::frame(QStringLiteral("http://after/"))));
        QCOMPARE(received, QStringList{QStringLiteral("http://after/")});
    }

    void invalidUtf8IsHandledAsText()
    {
        auto socket = connectClient();
        QVERIFY(socket);
        QVERIFY(sendAndWait(*socket, QByteArray("\x00\x04\xC3\x28\xFF" "a", 6)));
        QCOMPARE(received.size(), 1);
    }

    void aMessageCutShortIsNeverHandled()
    {
        auto socket = connectClient();
        QVERIFY(socket);
        QByteArray frame = InstanceProtocol::frame(QStringLiteral("http://half/"));
        socket->write(frame.left(6));
        socket->flush();
        QTRY_COMPARE(socket->bytesToWrite(), qint64(0));
        socket->abort();
        // The listener saw the client go and let its connection go.
        QTRY_VERIFY(server->findChildren<QLocalSocket *>().isEmpty());
        QVERIFY(received.isEmpty());
        auto next = connectClient();
        QVERIFY(next);
        QVERIFY(sendAndWait(*next, InstanceProtocol::frame(QStringLiteral("0***0"))));
        QCOMPARE(received, QStringList{QStringLiteral("0***0")});
    }

    void aFloodIsHandledInOrderWithoutEndingTheListener()
    {
        auto socket = connectClient();
        QVERIFY(socket);
        QByteArray flood;
        for (int i = 0; i < 2000; ++i)
            flood += InstanceProtocol::frame(QStringLiteral("m%1").arg(i));
        socket->write(flood);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2000, 20000);
        QCOMPARE(received.first(), QStringLiteral("m0"));
        QCOMPARE(received.last(), QStringLiteral("m1999"));
        auto other = connectClient();
        QVERIFY(other);
        QVERIFY(sendAndWait(*other, InstanceProtocol::frame(QStringLiteral("still here"))));
    }

    // Past the slots, a newcomer takes the place of the oldest connection.
    void tooManyConnectionsEndTheOldest()
    {
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < InstanceServer::kMaxConnections + 4; ++i) {
            auto socket = connectClient();
            if (socket)
                idle.push_back(std::move(socket));
        }
        QCOMPARE(int(idle.size()), InstanceServer::kMaxConnections + 4);
        for (int i = 0; i < 4; ++i)
            QTRY_COMPARE(idle[size_t(i)]->state(), QLocalSocket::UnconnectedState);
        QTRY_COMPARE(int(server->findChildren<QLocalSocket *>().size()), InstanceServer::kMaxConnections);
        QVERIFY(sendAndWait(*idle.back(), InstanceProtocol::frame(QStringLiteral("newest"))));
        idle.clear();
        QTRY_VERIFY(server->findChildren<QLocalSocket *>().isEmpty());
        auto socket = connectClient();
        QVERIFY(socket);
        QVERIFY(sendAndWait(*socket, InstanceProtocol::frame(QStringLiteral("ok"))));
        QCOMPARE(received, (QStringList{"newest", "ok"}));
    }

    // A message's bytes have a deadline in all: a byte now and then does not keep the
    // connection, and one that sent its message whole gets the time anew for the next.
    void aTrickleEndsAtTheMessagesDeadline()
    {
        server->setFrameDeadline(300);
        auto socket = connectClient();
        QVERIFY(socket);
        socket->write("\x7f", 1);
        QTimer trickle;
        connect(&trickle, &QTimer::timeout, socket.get(), [&] {
            if (socket->state() == QLocalSocket::ConnectedState)
                socket->write("x", 1);
        });
        trickle.start(50);
        QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QLocalSocket::UnconnectedState, 5000);
        QVERIFY(received.isEmpty());
    }

    // Sixty-four clients that send a byte every 8 s and come back as soon as they are
    // dropped: a real second start still gets its address through, within a second.
    void aRealStartGetsThroughWhileSlowClientsCrowdTheSocket()
    {
        constexpr int kSlow = 64;
        std::vector<std::unique_ptr<QLocalSocket>> slow;
        int connects = 0;
        for (int i = 0; i < kSlow; ++i) {
            slow.push_back(std::make_unique<QLocalSocket>());
            QLocalSocket *s = slow.back().get();
            connect(s, &QLocalSocket::connected, s, [s, &connects] {
                ++connects;
                s->write("\x7f", 1);
            });
            // Dropped, it comes back at once.
            auto again = [s] {
                QTimer::singleShot(0, s, [s] {
                    if (s->state() == QLocalSocket::UnconnectedState)
                        s->connectToServer(InstanceProtocol::socketPath());
                });
            };
            connect(s, &QLocalSocket::disconnected, s, again);
            connect(s, &QLocalSocket::errorOccurred, s, again);
            s->connectToServer(InstanceProtocol::socketPath());
        }
        QTimer trickle;
        connect(&trickle, &QTimer::timeout, this, [&] {
            for (const auto &s : slow)
                if (s->state() == QLocalSocket::ConnectedState)
                    s->write("x", 1);
        });
        trickle.start(8000);
        // Every client has been in, and the dropped ones are coming back: the slots are
        // fought over.
        QTRY_VERIFY(connects >= 2 * kSlow);
        QVERIFY(server->findChildren<QLocalSocket *>().size() >= InstanceServer::kMaxConnections);

        int result = -1;
        QElapsedTimer took;
        took.start();
        qint64 elapsed = -1;
        QThread *thread = QThread::create([&] {
            result = InstanceForwarder::forward({QStringLiteral("http://real/")}, 5000);
            elapsed = took.elapsed();
        });
        thread->start();
        QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 10000);
        delete thread;
        for (const auto &s : slow)
            s->disconnect();
        slow.clear();
        QCOMPARE(result, 0);
        QCOMPARE(received, QStringList{QStringLiteral("http://real/")});
        QVERIFY2(elapsed < 1000, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    }

    void aSecondListenerLeavesTheLiveOneAlone()
    {
        InstanceServer second([](const QString &) {});
        QVERIFY(!second.listen());
        auto socket = connectClient();
        QVERIFY(socket);
        QVERIFY(sendAndWait(*socket, InstanceProtocol::frame(QStringLiteral("first"))));
        QCOMPARE(received, QStringList{QStringLiteral("first")});
    }

    void aRuntimeFolderOfSomeoneElseIsNotUsed()
    {
        if (::geteuid() != 0)
            QSKIP("needs to make a folder that belongs to another user");
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir temp;
        qputenv("TMPDIR", QFile::encodeName(temp.path()));
        qunsetenv("XDG_RUNTIME_DIR");
        const QString foreign = QDir::tempPath() + QStringLiteral("/sablix-%1").arg(::getuid());
        QVERIFY(QDir().mkpath(foreign));
        QCOMPARE(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        QCOMPARE(InstanceProtocol::socketPath(), QString());
        QCOMPARE(InstanceProtocol::lockPath(), QString());
        QVERIFY(!InstanceLock().acquire());
        QCOMPARE(::chown(QFile::encodeName(foreign).constData(), ::getuid(), ::getgid()), 0);
        QCOMPARE(InstanceProtocol::socketPath(), foreign + QStringLiteral("/sablix.socket"));
        qputenv("XDG_RUNTIME_DIR", saved);
        qunsetenv("TMPDIR");
    }

    void forwardingRules()
    {
        ForwardingRules rules;
        QSignalSpy bringUps(&rules, &ForwardingRules::bringUpRequested);
        QSignalSpy opened(&rules, &ForwardingRules::openRequested);
        auto openedAddresses = [&] {
            QStringList addresses;
            for (const QList<QVariant> &call : opened)
                addresses << call.at(0).toString();
            return addresses;
        };

        rules.handle(InstanceProtocol::kBringUp);
        QCOMPARE(bringUps.count(), 1);
        QVERIFY(opened.isEmpty());
        // Only the exact message brings up alone: an address may carry its characters.
        const QString address = QStringLiteral("http://a.example/?q=0***0");
        rules.handle(address);
        QCOMPARE(bringUps.count(), 2);
        QCOMPARE(openedAddresses(), QStringList{address});
        // Neither addresses nor the message: dropped without bringing anything up.
        for (const char *text : {"abc", "   ", "x0***0", " 0***0 "})
            rules.handle(QString::fromLatin1(text));
        QCOMPARE(bringUps.count(), 2);
        QCOMPARE(opened.count(), 1);

        // A repeat of the last address brings the window up but opens nothing, until a page
        // closes; then it opens again.
        rules.handle(QLatin1Char(' ') + address + QLatin1Char(' '));
        QCOMPARE(bringUps.count(), 3);
        QCOMPARE(opened.count(), 1);
        rules.forgetLastAddress();
        rules.handle(address);
        QCOMPARE(openedAddresses(), (QStringList{address, address}));

        rules.stop();
        rules.handle(InstanceProtocol::kBringUp);
        rules.handle(QStringLiteral("www.late.example"));
        QCOMPARE(bringUps.count(), 4);
        QCOMPARE(opened.count(), 2);
    }

    void relativeFilesBecomeAbsolute()
    {
        QTemporaryDir dir;
        QFile file(dir.path() + QStringLiteral("/page.html"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QCOMPARE(InstanceForwarder::resolveArgument(QStringLiteral("page.html")), dir.path() + QStringLiteral("/page.html"));
        QCOMPARE(InstanceForwarder::resolveArgument(QStringLiteral("missing.html")), QStringLiteral("missing.html"));
        QCOMPARE(InstanceForwarder::resolveArgument(QStringLiteral("http://x/")), QStringLiteral("http://x/"));
        QDir::setCurrent(before);
    }
};

QTEST_GUILESS_MAIN(TestInstanceServer)
#include "tst_instanceserver.moc"

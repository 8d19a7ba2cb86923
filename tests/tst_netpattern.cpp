// The test pattern's sender on the test's clock, its datagrams taken
// before any socket: how far apart its frames go however the ticks come,
// and how a run starts and ends when sends fail.

#include "clitestsupport.h"
#include "net/artnetpackets.h"
#include "net/testpattern.h"
#include "net/testpatternsender.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const QHostAddress NodeAddress(QStringLiteral("127.0.0.2"));
const QString Unreachable = QStringLiteral("Réseau injoignable");

// One datagram as the sender gave it.
struct Sent {
    qint64 atMs = 0;
    ArtNet::DmxPacket packet;
};

} // namespace

class TestNetPattern : public QObject
{
    Q_OBJECT

private slots:
    // Frames (and the closing black) come more than 22 ms apart on the
    // clock: a tick too soon after a frame, as a late tick followed by one
    // on time makes, sends nothing and the next tick does.
    void frameSpacing_data()
    {
        QTest::addColumn<int>("durationMs");
        QTest::addColumn<QList<int>>("ticksMs");   // when the timer calls sendFrame()
        QTest::addColumn<int>("stopMs");           // when stop() comes; -1: never
        QTest::addColumn<QList<int>>("roundsMs");  // each frame's time, the black one last

        QTest::newRow("ticks on time: a frame each, black at the end")
            << 100 << QList<int>{25, 50, 75, 100} << -1 << QList<int>{0, 25, 50, 75, 100};
        QTest::newRow("a late tick then one on time 8 ms after: the second waits")
            << 1000 << QList<int>{42, 50, 75} << 80 << QList<int>{0, 42, 75, 98};
        QTest::newRow("22 whole milliseconds are not enough")
            << 1000 << QList<int>{22, 23} << 30 << QList<int>{0, 23, 46};
        QTest::newRow("the black frame waits for the spacing")
            << 1000 << QList<int>{25} << 26 << QList<int>{0, 25, 48};
        QTest::newRow("black at once when the last frame is far enough")
            << 1000 << QList<int>{25} << 60 << QList<int>{0, 25, 60};
        QTest::newRow("the time limit comes between ticks: black at the next one")
            << 60 << QList<int>{25, 50, 75} << -1 << QList<int>{0, 25, 50, 75};
    }

    void frameSpacing()
    {
        QFETCH(int, durationMs);
        QFETCH(QList<int>, ticksMs);
        QFETCH(int, stopMs);
        QFETCH(QList<int>, roundsMs);
        FakeClock clock;
        std::vector<Sent> sent;
        TestPatternSender sender(clock);
        sender.setFramesByTimer(false);
        sender.setDatagramSend(recorder(clock, sent));
        sender.setDurationMs(durationMs);
        QVERIFY(sender.start(NodeAddress, {1, 2}));
        for (const int tick : ticksMs) {
            if (stopMs >= 0 && stopMs <= tick)
                break;
            clock.now = tick;
            sender.sendFrame();
        }
        if (stopMs >= 0) {
            clock.now = std::max<qint64>(clock.now, stopMs);
            sender.stop();
        }
        QVERIFY(!sender.isRunning());
        QList<int> rounds;
        for (std::size_t i = 0; i < sent.size(); i += 2) {
            QCOMPARE(sent[i + 1].atMs, sent[i].atMs); // both universes in one round
            rounds << static_cast<int>(sent[i].atMs);
        }
        QCOMPARE(rounds, roundsMs);
        QCOMPARE(sent.back().packet.data, TestPattern::blackFrame());
    }

    // A run starts only when its frames can go out, sends each universe
    // once however often it is listed, and tells at its end whether every
    // black frame went out, naming the universes that may still be lit.
    void runOutcome_data()
    {
        QTest::addColumn<QList<int>>("universes");
        QTest::addColumn<QString>("failing"); // "", "black N": universe N's black, "all"
        QTest::addColumn<bool>("started");
        QTest::addColumn<QList<int>>("streams"); // the universes of each frame
        QTest::addColumn<QString>("said");       // endText(), or errorText() when not started

        QTest::newRow("every black frame out") << QList<int>{1, 2} << "" << true << QList<int>{1, 2}
                                               << "noir envoyé";
        QTest::newRow("a universe listed twice, as two nodes at one address report it")
            << QList<int>{1, 2, 1, 2} << "" << true << QList<int>{1, 2} << "noir envoyé";
        QTest::newRow("one black frame refused")
            << QList<int>{1, 2, 3} << "black 2" << true << QList<int>{1, 2, 3}
            << "le noir n'a pas pu être envoyé à 127.0.0.2 (Réseau injoignable) : univers 2 "
               "[0.0.2], qui peuvent rester allumés";
        QTest::newRow("the network gone before the first frame")
            << QList<int>{1} << "all" << false << QList<int>{}
            << "La mire ne peut pas être envoyée à 127.0.0.2 : Réseau injoignable";
        QTest::newRow("no universe") << QList<int>{} << "" << false << QList<int>{}
                                     << "Le node 127.0.0.2 ne déclare aucun univers en sortie";
        QList<int> many;
        for (int universe = 0; universe <= TestPatternSender::MaximumUniverses; ++universe)
            many << universe;
        QTest::newRow("more universes than a test takes")
            << many << "" << false << QList<int>{}
            << "65 univers pour 127.0.0.2 : la mire en allume 64 au plus à la fois.";
    }

    void runOutcome()
    {
        QFETCH(QList<int>, universes);
        QFETCH(QString, failing);
        QFETCH(bool, started);
        QFETCH(QList<int>, streams);
        QFETCH(QString, said);
        FakeClock clock;
        std::vector<Sent> sent;
        TestPatternSender sender(clock);
        sender.setFramesByTimer(false);
        const TestPatternSender::DatagramSend record = recorder(clock, sent);
        sender.setDatagramSend([&](const QByteArray &datagram, const QHostAddress &to, quint16 port,
                                   QString &failure) {
            const bool recorded = record(datagram, to, port, failure);
            const ArtNet::DmxPacket &packet = sent.back().packet;
            const bool black = packet.data == TestPattern::blackFrame();
            if (failing == "all"
                || (black && failing == QStringLiteral("black %1").arg(packet.portAddress))) {
                failure = Unreachable;
                return false;
            }
            return recorded;
        });
        QSignalSpy finished(&sender, &TestPatternSender::finished);
        QCOMPARE(sender.start(NodeAddress, std::vector<int>(universes.begin(), universes.end())), started);
        if (!started) {
            QVERIFY2(sender.errorText().startsWith(said), qPrintable(sender.errorText()));
            QVERIFY(!sender.isRunning());
            QVERIFY(finished.isEmpty());
            return;
        }
        clock.now += TestPatternSender::FrameIntervalMs;
        sender.sendFrame();
        sender.stop();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(sender.endText(), said);
        // Three rounds (two frames, black), each universe tried once in each.
        QList<int> universesSent;
        for (const Sent &one : sent)
            universesSent << one.packet.portAddress;
        QCOMPARE(universesSent, streams + streams + streams);
    }

private:
    static TestPatternSender::DatagramSend recorder(const FakeClock &clock, std::vector<Sent> &sent)
    {
        return [&clock, &sent](const QByteArray &datagram, const QHostAddress &to, quint16,
                               QString &) {
            Sent one;
            one.atMs = clock.now;
            const bool decoded = ArtNet::decodeDmx(datagram, one.packet);
            sent.push_back(one);
            return decoded && to == NodeAddress;
        };
    }
};

QTEST_GUILESS_MAIN(TestNetPattern)
#include "tst_netpattern.moc"

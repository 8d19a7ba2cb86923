// nodeconfig-cli's network commands against simulated nodes on loopback
// (127.0.0.x, unicast polls): what they print and the exit status a script
// sees. The console's loop runs on the test's clock.

#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "net/testpattern.h"
#include "protocol/presets.h"
#include "series/serieslog.h"
#include "net/seriescheck.h"
#include "sim/artnetresponder.h"

#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

namespace {

CliRun runNetCli(const QStringList &arguments, FakeClock &clock)
{
    CliRun run;
    CliApp app(clock, run.lines);
    app.setNetworkBind(QHostAddress(QHostAddress::LocalHost), 0);
    run.status = app.run(arguments);
    return run;
}

QString target(const QHostAddress &address, quint16 port)
{
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

} // namespace

class TestNetCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        node.setConfiguration(curtainReport(1, CurtainSize::TwoByOne, LargeCapacity));
        node.setMac({0, 0x1a, 0x2b, 0, 0, 1});
        QVERIFY(node.start(QHostAddress("127.0.0.2"), 0));

        // Two nodes behind one address: each poll gets two replies that
        // differ in their MAC.
        QVERIFY(twoNodes.bind(QHostAddress("127.0.0.6"), 0));
        connect(&twoNodes, &QUdpSocket::readyRead, this, [this] {
            while (twoNodes.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray datagram(static_cast<int>(twoNodes.pendingDatagramSize()), '\0');
                twoNodes.readDatagram(datagram.data(), datagram.size(), &from, &port);
                for (const std::uint8_t last : {1, 2}) {
                    ArtNet::PollReply reply;
                    reply.ipField = QHostAddress("127.0.0.6").toIPv4Address();
                    reply.mac = {0, 0x1a, 0x2b, 0, 0, last};
                    twoNodes.writeDatagram(ArtNet::encodePollReply(reply), from, port);
                }
            }
        });

        writeLog(QStringLiteral("present.csv"), {{1, "127.0.0.2", UnitKind::Curtain, CurtainSize::TwoByOne}});
        writeLog(QStringLiteral("missing.csv"), {{1, "127.0.0.2", UnitKind::Curtain, CurtainSize::TwoByOne},
                                                  {2, "127.0.0.3", UnitKind::Curtain, CurtainSize::TwoByOne}});
        writeLog(QStringLiteral("otheruniverses.csv"), {{1, "127.0.0.2", UnitKind::Costume, 0}});
        QFile notALog(dir.filePath(QStringLiteral("notalog.csv")));
        QVERIFY(notALog.open(QIODevice::WriteOnly));
        notALog.write("ceci;n'est;pas\nun;journal\n");
    }

    void init() { resetCliState(); }

    void network_data()
    {
        QTest::addColumn<QStringList>("arguments"); // %node, %two, %dir replaced
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");

        QTest::newRow("a node listed")
            << QStringList{"network", "--poll", "%node"} << Exit::Done
            << "127.0.0.2 : Node LED virtuel, MAC 00:1a:2b:00:00:01, univers 1 [0.0.1], "
               "2 [0.0.2], firmware 1.0";
        QTest::newRow("in JSON") << QStringList{"network", "--poll", "%node", "--json"} << Exit::Done
                                 << "\"artnet\": \"0.0.2\"";
        QTest::newRow("two nodes at one address")
            << QStringList{"network", "--poll", "%two"} << Exit::NodeFailure
            << "Conflit : 127.0.0.6 répond avec 2 adresses MAC : 00:1a:2b:00:00:01, "
               "00:1a:2b:00:00:02.";
        QTest::newRow("several addresses")
            << QStringList{"network", "--poll", "127.0.0.9:9, %node"} << Exit::Done
            << "127.0.0.2 : Node LED virtuel";
        QTest::newRow("nobody answers") << QStringList{"network", "--poll", "127.0.0.9:9"}
                                        << Exit::Done << "Aucun node n'a répondu.";
        QTest::newRow("not an address") << QStringList{"network", "--poll", "2.0.0"} << Exit::BadInput
                                        << "--poll : « 2.0.0 » n'est pas une adresse IPv4";
        QTest::newRow("log: the unit there")
            << QStringList{"network", "--check", "%dir/present.csv", "--poll", "%node"} << Exit::Done
            << "Unité 1 (127.0.0.2) : présente, univers 1 [0.0.1], 2 [0.0.2] ; son préréglage : 1, 2";
        QTest::newRow("log: a unit missing")
            << QStringList{"network", "--check", "%dir/missing.csv", "--poll", "%node"}
            << Exit::NodeFailure << "Unité 2 (127.0.0.3) : absente";
        QTest::newRow("log: other universes")
            << QStringList{"network", "--check", "%dir/otheruniverses.csv", "--poll", "%node"}
            << Exit::NodeFailure << "ne correspondent ni en comptant de 0 ni en comptant de 1";
        QTest::newRow("log: no such file")
            << QStringList{"network", "--check", "%dir/none.csv"} << Exit::BadInput << "n'existe pas";
        QTest::newRow("log: not a series log")
            << QStringList{"network", "--check", "%dir/notalog.csv"} << Exit::BadInput << "--check : ";
        QTest::newRow("test: nobody answers") << QStringList{"test", "127.0.0.9:9"} << Exit::NoNode
                                              << "aucun node n'a répondu à 127.0.0.9";
        QTest::newRow("test: too long") << QStringList{"test", "%node", "--seconds", "61"}
                                        << Exit::BadInput
                                        << "--seconds : « 61 » n'est pas une durée de 1 à 60 secondes";
        QTest::newRow("test: not for network") << QStringList{"test", "%node", "--json"}
                                               << Exit::BadInput
                                               << "l'option --json ne s'applique pas à test";
    }

    void network()
    {
        if (runsUnderWine())
            QSKIP("Wine answers from 127.0.0.1 whatever loopback address a socket is bound to");
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, expected);
        arguments.replaceInStrings(QStringLiteral("%node"), target(node.address(), node.port()));
        arguments.replaceInStrings(QStringLiteral("%two"),
                                   target(twoNodes.localAddress(), twoNodes.localPort()));
        arguments.replaceInStrings(QStringLiteral("%dir"), dir.path());
        FakeClock clock;
        const CliRun run = runNetCli(arguments, clock);
        QVERIFY2(run.lines.all().contains(expected), qPrintable(run.lines.all()));
        QCOMPARE(run.status, status);
    }

    // The pattern reaches the universes the node reports, no faster than
    // 40 frames a second on the clock, and ends black.
    void testPatternLightsTheNodeAndEndsBlack()
    {
        if (runsUnderWine())
            QSKIP("Wine loses the loopback datagrams of this case");
        node.clearReceivedDmx();
        FakeClock clock;
        const CliRun run = runNetCli({"test", target(node.address(), node.port()), "--seconds", "2"}, clock);
        QCOMPARE(run.status, Exit::Done);
        QVERIFY2(run.lines.all().contains("Mire envoyée à 127.0.0.2, univers 1 [0.0.1], 2 [0.0.2], "
                                          "pendant 2 s"),
                 qPrintable(run.lines.all()));
        QTRY_VERIFY(node.receivedDmx().size() >= 2 * 80);
        QCoreApplication::processEvents();
        const std::vector<ArtNet::DmxPacket> &received = node.receivedDmx();
        QVERIFY2(received.size() <= 2 * (2 * 40 + 1 + 1), qPrintable(QString::number(received.size())));
        for (std::size_t i = 0; i < received.size(); ++i)
            QCOMPARE(received[i].portAddress, int(1 + i % 2));
        QCOMPARE(received[received.size() - 2].data, TestPattern::blackFrame());
        QCOMPARE(received[received.size() - 1].data, TestPattern::blackFrame());
        QVERIFY(received.front().data != TestPattern::blackFrame());
    }

private:
    void writeLog(const QString &name, const std::vector<LoggedUnit> &units)
    {
        SeriesLog log;
        QCOMPARE(log.open(dir.filePath(name)), QString());
        for (const LoggedUnit &unit : units) {
            SeriesRow row;
            row.number = unit.number;
            row.address = unit.address;
            row.capacity = LargeCapacity;
            row.time = QDateTime(QDate(2024, 5, 1), QTime(14, 0));
            row.result = SeriesResult::verified();
            row.kind = unit.kind;
            row.size = unit.size;
            log.append(row);
        }
    }

    QTemporaryDir dir;
    ArtNetResponder node;
    QUdpSocket twoNodes;
};

QTEST_GUILESS_MAIN(TestNetCli)
#include "tst_netcli.moc"

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

#include "app/platform.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>

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

// A datagram a hostile or crowded network sends back to a poll, from
// `from` (empty: the answering socket's own address).
struct Sent {
    QString from;
    QByteArray datagram;
};
// What answers the poll of each round (1, 2...).
using Answer = std::function<std::vector<Sent>(int round)>;

const QString HostileAddress = QStringLiteral("127.0.0.7");

// A reply without MAC at bind index 1, outputting `universes` (sub-net 0).
ArtNet::PollReply replyWith(const QByteArray &name, const std::vector<int> &universes)
{
    ArtNet::PollReply reply;
    reply.shortName = name;
    reply.bindIndex = 1;
    reply.numPorts = static_cast<std::uint16_t>(universes.size());
    for (std::size_t port = 0; port < universes.size(); ++port) {
        reply.portTypes[port] = 0x80;
        reply.swOut[port] = static_cast<std::uint8_t>(universes[port]);
    }
    return reply;
}

ArtNet::PollReply withMac(ArtNet::PollReply reply, int number)
{
    reply.mac = {0x02, 0, 0, static_cast<std::uint8_t>(number >> 16),
                 static_cast<std::uint8_t>(number >> 8), static_cast<std::uint8_t>(number)};
    return reply;
}

// 127.1.0.1, 127.1.0.2...: one address a node.
QString nodeAddress(int number)
{
    return QStringLiteral("127.1.%1.%2").arg(number / 250).arg(number % 250 + 1);
}

std::vector<Sent> fromNodes(int count)
{
    std::vector<Sent> sent;
    for (int number = 0; number < count; ++number) {
        ArtNet::PollReply reply = withMac(replyWith("n", {1, 2}), number);
        reply.ipField = QHostAddress(nodeAddress(number)).toIPv4Address();
        sent.push_back({nodeAddress(number), ArtNet::encodePollReply(reply)});
    }
    return sent;
}

std::vector<Sent> atHostileAddress(const std::vector<ArtNet::PollReply> &replies)
{
    std::vector<Sent> sent;
    for (ArtNet::PollReply reply : replies) {
        reply.ipField = QHostAddress(HostileAddress).toIPv4Address();
        sent.push_back({QString(), ArtNet::encodePollReply(reply)});
    }
    return sent;
}

bool systemCountsDrops()
{
    QUdpSocket socket;
    return socket.bind(QHostAddress(QHostAddress::LocalHost), 0)
           && datagramsDroppedBySystem(socket.socketDescriptor()) >= 0;
}

} // namespace

Q_DECLARE_METATYPE(Answer)

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

    // Whatever answers, `network` lists it in bounded, clean lines, and its
    // JSON keeps the exact bytes.
    void hostileNetwork_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<int>("waitSeconds");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("lineCount");    // printed lines; -1: any
        QTest::addColumn<QStringList>("lines"); // printed lines among them, whole
        QTest::addColumn<QString>("noted");     // in the notes; empty: no "attention"
        QTest::addColumn<int>("jsonNodes");     // -1: any
        QTest::addColumn<QString>("jsonName");  // the first node's shortName, exact

        const auto always = [](std::vector<Sent> sent) {
            return Answer([sent](int) { return sent; });
        };
        const int rig = 250;
        QTest::newRow("250 nodes answering one poll at once")
            << always(fromNodes(rig)) << 3 << Exit::Done << rig
            << QStringList{"127.1.0.1 : n, MAC 02:00:00:00:00:00, univers 1 [0.0.1], 2 [0.0.2], "
                           "firmware 0.0",
                           "127.1.0.250 : n, MAC 02:00:00:00:00:f9, univers 1 [0.0.1], 2 [0.0.2], "
                           "firmware 0.0"}
            << QString() << rig << "n";

        const int flood = 300;
        QTest::newRow("a flood of new MACs at one address: one line")
            << Answer([](int round) {
                   std::vector<ArtNet::PollReply> replies;
                   for (int number = 0; number < flood; ++number)
                       replies.push_back(withMac(replyWith("n", {1}), round * flood + number));
                   return atHostileAddress(replies);
               })
            << 3 << Exit::NodeFailure << 1
            << QStringList{"Conflit : 127.0.0.7 répond avec 600 adresses MAC : 02:00:00:00:01:2c, "
                           "02:00:00:00:01:2d, 02:00:00:00:01:2e, 02:00:00:00:01:2f et 596 "
                           "autres."}
            << QString() << 2 * flood << "n";

        QTest::newRow("control characters in a name")
            << always(atHostileAddress({replyWith("\x1b[2J\nConflit : x\r", {})}))
            << 3 << Exit::Done << 1
            << QStringList{"127.0.0.7 : [2J Conflit : x , MAC inconnue, univers aucun, firmware 0.0"}
            << QString() << 1 << "\x1b[2J\nConflit : x\r";
        QTest::newRow("bytes that are not UTF-8 in a name, read one a character")
            << always(atHostileAddress({replyWith("\x9b" "31m\xe2\x80\xae" "ab\xff", {})}))
            << 3 << Exit::Done << 1
            << QStringList{"127.0.0.7 : 31mâ®abÿ, MAC inconnue, univers aucun, firmware 0.0"}
            << QString() << 1 << QString::fromLatin1("\x9b" "31m\xe2\x80\xae" "ab\xff");
        QTest::newRow("a UTF-8 name that turns the text around")
            << always(atHostileAddress({replyWith("ab\xe2\x80\xae" "cd \xc3\xa9", {})}))
            << 3 << Exit::Done << 1
            << QStringList{"127.0.0.7 : abcd é, MAC inconnue, univers aucun, firmware 0.0"}
            << QString() << 1 << QString::fromLatin1("ab\xe2\x80\xae" "cd \xc3\xa9");

        QTest::newRow("twins: two MACs at one address")
            << always(atHostileAddress({withMac(replyWith("a", {1, 2}), 1),
                                        withMac(replyWith("b", {3}), 2)}))
            << 3 << Exit::NodeFailure << 1
            << QStringList{"Conflit : 127.0.0.7 répond avec 2 adresses MAC : 02:00:00:00:00:01, "
                           "02:00:00:00:00:02."}
            << QString() << 2 << "a";

        QTest::newRow("no MAC, its patch changed after an Envoyer")
            << Answer([](int round) {
                   return atHostileAddress({replyWith("n", round == 1 ? std::vector<int>{1, 2}
                                                                      : std::vector<int>{3, 4})});
               })
            << 3 << Exit::Done << 1
            << QStringList{"127.0.0.7 : n, MAC inconnue, univers 3 [0.0.3], 4 [0.0.4], firmware 0.0"}
            << QString() << 1 << "n";

        QTest::newRow("no MAC, five universes then four: its second reply leaves")
            << Answer([](int round) {
                   std::vector<ArtNet::PollReply> replies = {replyWith("n", {1, 2, 3, 4})};
                   if (round == 1) {
                       replies.push_back(replyWith("n", {5}));
                       replies.back().bindIndex = 2;
                   }
                   return atHostileAddress(replies);
               })
            << 11 << Exit::Done << 1
            << QStringList{"127.0.0.7 : n, MAC inconnue, univers 1 [0.0.1], 2 [0.0.2], 3 [0.0.3], "
                           "4 [0.0.4], firmware 0.0"}
            << QString() << 1 << "n";

        QTest::newRow("no MAC, two nodes answering in turn")
            << always(atHostileAddress({replyWith("rideau", {1}), replyWith("costume", {2})}))
            << 3 << Exit::NodeFailure << 1
            << QStringList{"Conflit : 127.0.0.7 répond pour plusieurs nodes sans adresse MAC, à "
                           "tour de rôle."}
            << QString() << 1 << QString();

        QTest::newRow("more at once than the receive buffer holds: the loss is said")
            << Answer([](int round) {
                   return round == 1 ? std::vector<Sent>(12000, atHostileAddress({replyWith("n", {1})}).front())
                                     : std::vector<Sent>();
               })
            << 3 << Exit::Done << 1
            << QStringList{"127.0.0.7 : n, MAC inconnue, univers 1 [0.0.1], firmware 0.0"}
            << "Le système a perdu" << 1 << "n";
    }

    void hostileNetwork()
    {
        if (runsUnderWine())
            QSKIP("Wine answers from 127.0.0.1 whatever address a datagram is sent from");
        QFETCH(Answer, answer);
        QFETCH(int, waitSeconds);
        QFETCH(int, status);
        QFETCH(int, lineCount);
        QFETCH(QStringList, lines);
        QFETCH(QString, noted);
        QFETCH(int, jsonNodes);
        QFETCH(QString, jsonName);
        if (noted.contains("perdu") && !systemCountsDrops())
            QSKIP("this system does not count the datagrams it drops");

        for (const bool json : {false, true}) {
            QUdpSocket network;
            QVERIFY(network.bind(QHostAddress(HostileAddress), 0));
            // A socket for each other address the replies come from.
            std::map<QString, std::unique_ptr<QUdpSocket>> nodes;
            int round = 0;
            connect(&network, &QUdpSocket::readyRead, this, [&] {
                while (network.hasPendingDatagrams()) {
                    const QNetworkDatagram poll = network.receiveDatagram();
                    ++round;
                    for (const Sent &sent : answer(round)) {
                        QUdpSocket *from = &network;
                        if (!sent.from.isEmpty()) {
                            std::unique_ptr<QUdpSocket> &node = nodes[sent.from];
                            if (!node) {
                                node = std::make_unique<QUdpSocket>();
                                node->bind(QHostAddress(sent.from), 0);
                            }
                            from = node.get();
                        }
                        from->writeDatagram(sent.datagram, poll.senderAddress(),
                                            static_cast<quint16>(poll.senderPort()));
                    }
                }
            });
            QStringList arguments = {"network", "--poll", target(network.localAddress(), network.localPort()),
                                     "--wait", QString::number(waitSeconds)};
            if (json)
                arguments << "--json";
            FakeClock clock;
            const CliRun run = runNetCli(arguments, clock);
            QVERIFY2(run.status == status, qPrintable(run.lines.all().left(600)));
            const QString notes = run.lines.noted.join('\n');
            if (noted.isEmpty())
                QVERIFY2(!notes.contains("attention"), qPrintable(notes));
            else
                QVERIFY2(notes.contains(noted), qPrintable(notes));
            if (json) {
                const QJsonObject listed =
                    QJsonDocument::fromJson(run.lines.printed.join('\n').toUtf8()).object();
                const QJsonArray nodes = listed.value("nodes").toArray();
                if (jsonNodes >= 0)
                    QCOMPARE(nodes.size(), jsonNodes);
                if (!jsonName.isEmpty())
                    QCOMPARE(nodes.first().toObject().value("shortName").toString(), jsonName);
                for (const QJsonValue conflict : listed.value("conflicts").toArray()) {
                    const QString address = conflict.toObject().value("address").toString();
                    const auto withMacThere = std::count_if(nodes.begin(), nodes.end(), [&](const QJsonValue &node) {
                        return node.toObject().value("address").toString() == address
                               && !node.toObject().value("mac").toString().isEmpty();
                    });
                    QCOMPARE(conflict.toObject().value("macs").toArray().size(), int(withMacThere));
                }
                QVERIFY(listed.value("reception").toObject().value("receiveBufferGranted").toInt() > 0);
                continue;
            }
            if (lineCount >= 0)
                QCOMPARE(run.lines.printed.size(), lineCount);
            for (const QString &line : lines)
                QVERIFY2(run.lines.printed.contains(line), qPrintable(run.lines.printed.mid(0, 5).join('\n')));
            for (const QString &line : run.lines.printed)
                for (const QChar character : line)
                    QVERIFY2(!character.isNull() && character.category() != QChar::Other_Control,
                             qPrintable(line));
        }
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

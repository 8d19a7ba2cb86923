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

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>
#include <set>

namespace {

// Polls and the pattern on the test's clock; the tool listens on
// `bindPort` of 127.0.0.1 (0: a free one).
CliRun runNetCli(const QStringList &arguments, FakeClock &clock, quint16 bindPort = 0,
                 const TestPatternSender::DatagramSend &send = {})
{
    CliRun run;
    CliApp app(clock, run.lines);
    app.setNetworkBind(QHostAddress(QHostAddress::LocalHost), bindPort);
    if (send)
        app.setPatternSend(send);
    run.status = app.run(arguments);
    return run;
}

// The real program, as a terminal starts it, for the endings by a signal.
QString cliProgram()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(NODECONFIG_CLI_PATH));
}
constexpr int ChildMs = 20000; // to start sending, and to end once asked

// One stream per universe: no universe takes a frame of one sequence
// number twice (two senders, or one sending it twice); every universe
// asked got frames, and its last one is black.
QString streamFault(const std::vector<ArtNet::DmxPacket> &received, const std::vector<int> &universes)
{
    std::set<std::pair<int, int>> frames;
    std::map<int, QByteArray> last;
    for (const ArtNet::DmxPacket &packet : received) {
        if (!frames.insert({packet.portAddress, packet.sequence}).second)
            return QStringLiteral("universe %1 took sequence %2 twice")
                .arg(packet.portAddress)
                .arg(packet.sequence);
        last[packet.portAddress] = packet.data;
    }
    if (last.size() != universes.size())
        return QStringLiteral("%1 universes lit, %2 asked").arg(last.size()).arg(universes.size());
    for (const int universe : universes) {
        if (last.count(universe) == 0)
            return QStringLiteral("universe %1 got nothing").arg(universe);
        if (last[universe] != TestPattern::blackFrame())
            return QStringLiteral("universe %1 did not end black").arg(universe);
    }
    return QString();
}

bool isBlack(const QByteArray &datagram)
{
    ArtNet::DmxPacket packet;
    return ArtNet::decodeDmx(datagram, packet) && packet.data == TestPattern::blackFrame();
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
        // The first outputs universes 1 and 2, the second 2 and 3; the
        // ArtDmx they take is kept.
        connect(&twoNodes, &QUdpSocket::readyRead, this, [this] {
            while (twoNodes.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray datagram(static_cast<int>(twoNodes.pendingDatagramSize()), '\0');
                twoNodes.readDatagram(datagram.data(), datagram.size(), &from, &port);
                ArtNet::DmxPacket packet;
                if (ArtNet::decodeDmx(datagram, packet)) {
                    twinsDmx.push_back(packet);
                    continue;
                }
                for (const std::uint8_t last : {1, 2}) {
                    ArtNet::PollReply reply;
                    reply.ipField = QHostAddress("127.0.0.6").toIPv4Address();
                    reply.mac = {0, 0x1a, 0x2b, 0, 0, last};
                    reply.numPorts = 2;
                    reply.portTypes = {OutputPort, OutputPort, 0, 0};
                    reply.swOut = {last, static_cast<std::uint8_t>(last + 1), 0, 0};
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
        // (0.0.0.0 is this computer, should the check fail: nothing leaves it.)
        QTest::newRow("test: an address that reaches every node")
            << QStringList{"test", "0.0.0.0", "--universe", "1"} << Exit::BadInput
            << "test : 0.0.0.0 est une adresse de diffusion ou de groupe";
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
                   const ArtNet::PollReply first = replyWith("n", {1, 2, 3, 4});
                   ArtNet::PollReply second = replyWith("n", {5});
                   second.bindIndex = 2;
                   return atHostileAddress(round == 1 ? std::vector<ArtNet::PollReply>{first, second}
                                                      : std::vector<ArtNet::PollReply>{first});
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

    // Every way a run of the pattern ends leaves the node black, and says
    // "noir envoyé" only when the black frames went out: the time limit, a
    // stop asked from inside (a line that cannot be written), the signals
    // of Ctrl+C, SIGTERM and a closed terminal to the real program, and a
    // black frame the network refuses. The universes are given: no port
    // to listen on.
    void patternEnds_data()
    {
        QTest::addColumn<QString>("ending"); // "time", "stop", "early stop", "black fails", or a signal
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("strips"); // "black" at the end, "lit" at the end, or "dark" (nothing sent)

        QTest::newRow("the time limit") << "time" << Exit::Done
                                        << "Mire arrêtée après 40 images : noir envoyé" << "black";
        QTest::newRow("a stop from inside (output closed)") << "stop" << Exit::Done
                                                             << "noir envoyé" << "black";
        QTest::newRow("Ctrl+C (SIGINT)") << "INT" << Exit::Done << "noir envoyé" << "black";
        QTest::newRow("SIGTERM") << "TERM" << Exit::Done << "noir envoyé" << "black";
        QTest::newRow("a closed terminal (SIGHUP)") << "HUP" << Exit::Done << "noir envoyé" << "black";
        QTest::newRow("a black frame that does not go out")
            << "black fails" << Exit::NodeFailure
            << "le noir n'a pas pu être envoyé à 127.0.0.2 (Réseau injoignable) : univers 1 [0.0.1], "
               "2 [0.0.2], qui peuvent rester allumés"
            << "lit";
        QTest::newRow("a stop while the node is asked its universes")
            << "early stop" << Exit::NodeFailure
            << "test : arrêté avant la mire, rien n'a été envoyé à 127.0.0.2" << "dark";
    }

    void patternEnds()
    {
        if (runsUnderWine())
            QSKIP("Wine loses the loopback datagrams of this case, and has no signals to send");
        QFETCH(QString, ending);
        QFETCH(int, status);
        QFETCH(QString, end);
        QFETCH(QString, strips);
        const bool black = strips == "black";
        node.clearReceivedDmx();
        const QString nodeTarget = target(node.address(), node.port());
        // Given, or asked of the node.
        const QStringList givenUniverses =
            ending == "early stop" ? QStringList{} : QStringList{"--universe", "1,2"};
        int ended = -1;
        QString said;
        if (ending == "time" || ending.contains("stop") || ending == "black fails") {
            FakeClock clock;
            constexpr int StopAtSleep = 10; // some frames, or the poll and its answer, first
            if (ending.contains("stop"))
                clock.onSleep = [&clock] {
                    if (clock.sleeps == StopAtSleep)
                        requestStop();
                };
            QUdpSocket socket;
            const auto failingBlack = [&socket](const QByteArray &datagram, const QHostAddress &to,
                                                quint16 port, QString &failure) {
                if (isBlack(datagram)) {
                    failure = QStringLiteral("Réseau injoignable");
                    return false;
                }
                return socket.writeDatagram(datagram, to, port) == datagram.size();
            };
            const CliRun run = runNetCli(QStringList{"test", nodeTarget, "--seconds", "1"} + givenUniverses,
                                         clock, 0,
                                         ending == "black fails" ? failingBlack
                                                                 : TestPatternSender::DatagramSend());
            ended = run.status;
            said = run.lines.all();
        } else {
            QProcess cli;
            cli.start(cliProgram(), QStringList{"test", nodeTarget, "--seconds", "60"} + givenUniverses);
            QVERIFY2(cli.waitForStarted(ChildMs), qPrintable(cli.errorString()));
            QTRY_VERIFY_WITH_TIMEOUT(!node.receivedDmx().empty(), ChildMs);
            QCOMPARE(QProcess::execute("kill", {"-s", ending, QString::number(cli.processId())}), 0);
            QVERIFY2(cli.waitForFinished(ChildMs), "the tool did not end once asked");
            QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
            ended = cli.exitCode();
            said = QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
        }
        QVERIFY2(said.contains(end), qPrintable(said));
        QCOMPARE(said.contains("noir envoyé"), black);
        QCOMPARE(ended, status);
        const std::vector<ArtNet::DmxPacket> &received = node.receivedDmx();
        if (black) {
            QTRY_VERIFY2(streamFault(received, {1, 2}).isEmpty(), qPrintable(streamFault(received, {1, 2})));
        } else {
            QCoreApplication::processEvents();
            QCOMPARE(received.empty(), strips == "dark");
            QVERIFY(received.empty() || received.back().data != TestPattern::blackFrame());
        }
    }

    // Two nodes answering at one address are named before anything is sent;
    // the pattern then stops there, or goes to each universe of both once
    // (one stream per universe), as the technician chose.
    void twins_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QList<int>>("universes"); // lit, then black; empty: nothing sent

        const QString notSent = "test : plusieurs nodes répondent à 127.0.0.6, la mire n'est pas "
                                "envoyée (--on-conflict send l'envoie quand même, une fois par univers)";
        QTest::newRow("stopped by default") << QStringList{} << Exit::NodeFailure << notSent
                                            << QList<int>{};
        QTest::newRow("--on-conflict stop") << QStringList{"--on-conflict", "stop"}
                                            << Exit::NodeFailure << notSent << QList<int>{};
        QTest::newRow("--on-conflict send: once per universe")
            << QStringList{"--on-conflict", "send"} << Exit::Done
            << "Mire envoyée à 127.0.0.6, univers 1 [0.0.1], 2 [0.0.2], 3 [0.0.3], pendant 1 s"
            << QList<int>{1, 2, 3};
    }

    void twins()
    {
        if (runsUnderWine())
            QSKIP("Wine answers from 127.0.0.1 whatever loopback address a socket is bound to");
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, expected);
        QFETCH(QList<int>, universes);
        twinsDmx.clear();
        FakeClock clock;
        const CliRun run = runNetCli(QStringList{"test", target(twoNodes.localAddress(), twoNodes.localPort()),
                                                 "--seconds", "1"}
                                         + options,
                                     clock);
        QVERIFY2(run.lines.all().contains(expected), qPrintable(run.lines.all()));
        QCOMPARE(run.status, status);
        // The conflict comes first, before any frame.
        QVERIFY2(run.lines.all().startsWith("Conflit : 127.0.0.6 répond avec 2 adresses MAC"),
                 qPrintable(run.lines.all()));
        if (universes.isEmpty()) {
            QCoreApplication::processEvents();
            QVERIFY(twinsDmx.empty());
            return;
        }
        const std::vector<int> lit(universes.begin(), universes.end());
        QTRY_VERIFY2(streamFault(twinsDmx, lit).isEmpty(), qPrintable(streamFault(twinsDmx, lit)));
    }

    // Another program holding the port (a console): the tool refuses to
    // listen beside it unless --share-port says to go on; with the
    // universes given, `test` needs no port and lights the node beside it.
    void sharedPort_data()
    {
        QTest::addColumn<bool>("holderShares");
        QTest::addColumn<QStringList>("arguments"); // %node replaced
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected"); // %port replaced
        QTest::addColumn<bool>("loopback");     // the case needs datagrams between 127.0.0.x

        const QString refused = "nodeconfig-cli: Le port UDP %port est déjà ouvert par un autre "
                                "programme de cet ordinateur";
        QTest::newRow("network refused") << true << QStringList{"network", "--poll", "%node"}
                                         << Exit::NodeFailure << refused << false;
        QTest::newRow("network refused, --share-port named")
            << true << QStringList{"network", "--poll", "%node"} << Exit::NodeFailure
            << "relancez avec --share-port pour écouter quand même" << false;
        QTest::newRow("network refused beside a program holding it alone")
            << false << QStringList{"network", "--poll", "%node"} << Exit::NodeFailure << refused
            << false;
        QTest::newRow("test refused when it must ask the node its universes")
            << true << QStringList{"test", "%node", "--seconds", "1"} << Exit::NodeFailure << refused
            << false;
        QTest::newRow("network --share-port listens and says so")
            << true << QStringList{"network", "--poll", "%node", "--share-port"} << Exit::Done
            << "attention : Le port UDP %port est partagé avec un autre programme : tant que "
               "nodeconfig écoute, "
            << true;
        QTest::newRow("--share-port beside a program holding it alone")
            << false << QStringList{"network", "--poll", "%node", "--share-port"}
            << Exit::NodeFailure << "Le port UDP %port ne peut pas être ouvert" << false;
        QTest::newRow("test --universe needs no port")
            << true << QStringList{"test", "%node", "--universe", "1,2", "--seconds", "1"}
            << Exit::Done << "noir envoyé" << true;
        QTest::newRow("--universe takes no --share-port")
            << true << QStringList{"test", "%node", "--universe", "1", "--share-port"}
            << Exit::BadInput << "--share-port et --on-conflict ne s'y appliquent pas" << false;
        QTest::newRow("--universe: a list, 0 to 32767")
            << true << QStringList{"test", "%node", "--universe", "1,40000"} << Exit::BadInput
            << "--universe : « 1,40000 » n'est pas une liste d'univers" << false;
        QTest::newRow("--universe: 64 at most")
            << true << QStringList{"test", "%node", "--universe", "0-64"} << Exit::BadInput
            << "plus de 64 univers" << false;
    }

    void sharedPort()
    {
        QFETCH(bool, holderShares);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, expected);
        QFETCH(bool, loopback);
        if (loopback && runsUnderWine())
            QSKIP("Wine answers from 127.0.0.1 whatever loopback address a socket is bound to");
        QUdpSocket console;
        QVERIFY(console.bind(QHostAddress(QHostAddress::LocalHost), 0,
                             holderShares ? QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint
                                          : QUdpSocket::DontShareAddress));
        arguments.replaceInStrings(QStringLiteral("%node"), target(node.address(), node.port()));
        expected.replace(QStringLiteral("%port"), QString::number(console.localPort()));
        node.clearReceivedDmx();
        FakeClock clock;
        const CliRun run = runNetCli(arguments, clock, console.localPort());
        QVERIFY2(run.lines.all().contains(expected), qPrintable(run.lines.all()));
        QCOMPARE(run.status, status);
        if (arguments.contains("--universe") && status == Exit::Done)
            QTRY_VERIFY(streamFault(node.receivedDmx(), {1, 2}).isEmpty());
        if (status != Exit::Done) {
            QCoreApplication::processEvents();
            QVERIFY(node.receivedDmx().empty());
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

    static constexpr std::uint8_t OutputPort = 0x80;

    QTemporaryDir dir;
    ArtNetResponder node;
    QUdpSocket twoNodes;
    std::vector<ArtNet::DmxPacket> twinsDmx;
};

QTEST_GUILESS_MAIN(TestNetCli)
#include "tst_netcli.moc"

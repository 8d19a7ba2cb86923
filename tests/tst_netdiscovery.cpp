// The list of nodes: its conflict rules and its gone nodes on a clock of
// the test's own, and the discovery and the test pattern over loopback
// against the simulated node's responder (127.0.0.x, unicast: nothing leaves
// the machine).

#include "clitestsupport.h"
#include "net/networkinterfaces.h"
#include "net/nodediscovery.h"
#include "net/nodetable.h"
#include "net/nodetext.h"
#include "net/seriescheck.h"
#include "net/testpattern.h"
#include "net/testpatternsender.h"
#include "protocol/presets.h"
#include "sim/artnetresponder.h"

#include <algorithm>
#include <QtTest>

using namespace ArtNet;

namespace {

constexpr qint64 GoneAfterMs = NodeDiscovery::PollIntervalMs * NodeDiscovery::PollsBeforeGone;

// One reply heard: "address mac bindIndex name" with "-" for a zero MAC.
struct Heard {
    QString address;
    QString mac;
    int bindIndex;
    QString name;
};

PollReply replyOf(const Heard &heard)
{
    PollReply reply;
    reply.ipField = QHostAddress(heard.address).toIPv4Address();
    reply.bindIndex = static_cast<std::uint8_t>(heard.bindIndex);
    reply.shortName = heard.name.toLatin1();
    if (heard.mac != QLatin1String("-")) {
        const QByteArray octets = QByteArray::fromHex(heard.mac.toLatin1());
        const auto count = std::min(static_cast<std::size_t>(octets.size()), reply.mac.size());
        std::copy_n(octets.begin(), count, reply.mac.begin());
    }
    return reply;
}

NodeTable tableOf(const std::vector<Heard> &heard)
{
    NodeTable table(GoneAfterMs);
    for (const Heard &one : heard)
        table.record(QHostAddress(one.address), replyOf(one), 0);
    return table;
}

QStringList conflictAddresses(const std::vector<NodeConflict> &conflicts)
{
    QStringList addresses;
    for (const NodeConflict &conflict : conflicts)
        addresses << conflict.address.toString();
    return addresses;
}

// A node's replies at `address`: one per group of at most four universes,
// bind index 1, 2...
struct Answering {
    QString address;
    QString mac;
    std::vector<int> universes;
};

std::vector<SeenNode> seenNodes(const std::vector<Answering> &answering)
{
    NodeTable table(GoneAfterMs);
    for (const Answering &node : answering) {
        PollReply reply = replyOf({node.address, node.mac, 1, "n"});
        // A node without universes still answers, once.
        for (std::size_t first = 0; first == 0 || first < node.universes.size();
             first += PortsPerReply) {
            const std::size_t count =
                std::min<std::size_t>(PortsPerReply, node.universes.size() - first);
            reply.numPorts = static_cast<std::uint16_t>(count);
            const int base = count ? node.universes[first] : 0;
            reply.netSwitch = static_cast<std::uint8_t>(base >> 8);
            reply.subSwitch = static_cast<std::uint8_t>(base >> 4);
            for (std::size_t p = 0; p < count; ++p) {
                reply.portTypes[p] = 0x80;
                reply.swOut[p] = static_cast<std::uint8_t>(node.universes[first + p] & 0x0F);
            }
            table.record(QHostAddress(node.address), reply, 0);
            ++reply.bindIndex;
        }
    }
    return table.nodes();
}

NodeReport curtain(int number, int size)
{
    return curtainReport(number, size, LargeCapacity);
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Heard>)
Q_DECLARE_METATYPE(std::vector<Answering>)
Q_DECLARE_METATYPE(std::vector<LoggedUnit>)
Q_DECLARE_METATYPE(std::vector<int>)

class TestNetDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void conflicts_data()
    {
        QTest::addColumn<std::vector<Heard>>("heard");
        QTest::addColumn<QStringList>("conflicting");

        const QString a = QStringLiteral("2.0.0.15");
        const QString b = QStringLiteral("2.0.0.16");
        QTest::newRow("two nodes, two addresses")
            << std::vector<Heard>{{a, "001a2b000001", 0, "n"}, {b, "001a2b000002", 0, "n"}}
            << QStringList();
        QTest::newRow("one address, two MACs")
            << std::vector<Heard>{{a, "001a2b000001", 0, "n"}, {a, "001a2b000002", 0, "n"}}
            << QStringList{a};
        QTest::newRow("two MACs on different bind indices")
            << std::vector<Heard>{{a, "001a2b000001", 1, "n"}, {a, "001a2b000002", 2, "n"}}
            << QStringList{a};
        QTest::newRow("one node, one reply per bind index")
            << std::vector<Heard>{{a, "001a2b000001", 1, "n"}, {a, "001a2b000001", 2, "n"}}
            << QStringList();
        QTest::newRow("no MAC, one reply per bind index")
            << std::vector<Heard>{{a, "-", 1, "n"}, {a, "-", 2, "n"}} << QStringList();
        QTest::newRow("a zero MAC beside a MAC, other bind index")
            << std::vector<Heard>{{a, "001a2b000001", 1, "n"}, {a, "-", 2, "n"}}
            << QStringList();
        QTest::newRow("no MAC, two nodes that differ, answering in turn")
            << std::vector<Heard>{{a, "-", 0, "curtain"}, {a, "-", 0, "costume"},
                                  {a, "-", 0, "curtain"}, {a, "-", 0, "costume"}}
            << QStringList{a};
        QTest::newRow("no MAC, a node renamed")
            << std::vector<Heard>{{a, "-", 0, "curtain"}, {a, "-", 0, "costume"},
                                  {a, "-", 0, "costume"}}
            << QStringList();
        QTest::newRow("no MAC, a node renamed and at once renamed back")
            << std::vector<Heard>{{a, "-", 0, "curtain"}, {a, "-", 0, "costume"},
                                  {a, "-", 0, "curtain"}, {a, "-", 0, "curtain"}}
            << QStringList();
        QTest::newRow("a MAC and no MAC on one bind index")
            << std::vector<Heard>{{a, "001a2b000001", 1, "n"}, {a, "-", 1, "n"}}
            << QStringList{a};
        QTest::newRow("one node heard again")
            << std::vector<Heard>{{a, "-", 0, "n"}, {a, "-", 0, "n"}, {a, "-", 0, "n"}}
            << QStringList();
        QTest::newRow("a shared universe at two addresses")
            << std::vector<Heard>{{a, "-", 0, "n"}, {b, "-", 0, "n"}} << QStringList();
    }

    void conflicts()
    {
        QFETCH(std::vector<Heard>, heard);
        QFETCH(QStringList, conflicting);
        const std::vector<NodeConflict> found = findConflicts(tableOf(heard).nodes());
        QCOMPARE(conflictAddresses(found), conflicting);
        for (const NodeConflict &conflict : found)
            QVERIFY(conflict.reason.contains(conflict.address.toString()));
    }

    // A node that stops answering is gone after three polls, leaves the
    // conflicts, and comes back with its next reply.
    void silentNodeGoesAndComesBack()
    {
        const QString a = QStringLiteral("2.0.0.15");
        NodeTable table = tableOf({{a, "001a2b000001", 0, "n"}, {a, "001a2b000001", 0, "n"}});
        QVERIFY(table.record(QHostAddress(a), replyOf({a, "001a2b000002", 0, "n"}), 1000));
        QCOMPARE(findConflicts(table.nodes()).size(), std::size_t(1));

        QVERIFY(!table.expire(GoneAfterMs));
        QVERIFY(!table.nodes()[0].gone);
        QVERIFY(table.expire(GoneAfterMs + 1));
        QVERIFY(table.nodes()[0].gone);
        QVERIFY(!table.nodes()[1].gone);
        QVERIFY(findConflicts(table.nodes()).empty());

        QVERIFY(table.record(QHostAddress(a), replyOf({a, "001a2b000001", 0, "n"}), 9000));
        QVERIFY(!table.nodes()[0].gone);
        QCOMPARE(table.nodes()[0].lastSeenMs, qint64(9000));
        QCOMPARE(table.nodes()[0].firstSeenMs, qint64(0));
    }

    void seriesCheck_data()
    {
        QTest::addColumn<std::vector<LoggedUnit>>("units");
        QTest::addColumn<std::vector<Answering>>("answering");
        QTest::addColumn<std::vector<int>>("missing");
        QTest::addColumn<std::vector<int>>("mismatched"); // unit numbers
        QTest::addColumn<QStringList>("duplicates");
        QTest::addColumn<int>("extra");
        QTest::addColumn<bool>("consistent");

        const auto curtains = [](int size) {
            std::vector<LoggedUnit> units;
            for (int number = 1; number <= 3; ++number)
                units.push_back({number, QStringLiteral("2.0.0.%1").arg(number + 14), UnitKind::Curtain, size});
            return units;
        };
        const std::vector<int> none;
        const QString a = "2.0.0.15", b = "2.0.0.16", c = "2.0.0.17";
        QTest::newRow("three curtains, counting from 0")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1, 2}}, {b, "-", {1, 2}}, {c, "-", {1, 2}}}
            << none << none << QStringList() << 0 << true;
        QTest::newRow("counting from 1")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {0, 1}}, {b, "-", {0, 1}}, {c, "-", {1, 0}}}
            << none << none << QStringList() << 0 << true;
        QTest::newRow("one on other universes")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1, 2}}, {b, "-", {3, 4}}, {c, "-", {1, 2}}}
            << none << std::vector<int>{2} << QStringList() << 0 << false;
        QTest::newRow("one universe short")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1}}, {b, "-", {1, 2}}, {c, "-", {1, 2}}}
            << none << std::vector<int>{1} << QStringList() << 0 << false;
        QTest::newRow("one missing, one extra")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1, 2}}, {c, "-", {1, 2}}, {"2.0.0.40", "-", {1}}}
            << std::vector<int>{2} << none << QStringList() << 1 << false;
        QTest::newRow("an extra node alone is no fault")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1, 2}}, {b, "-", {1, 2}}, {c, "-", {1, 2}},
                                      {"10.0.0.9", "-", {}}}
            << none << none << QStringList() << 1 << true;
        QTest::newRow("extra nodes in several replies each")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "-", {1, 2}}, {b, "-", {1, 2}}, {c, "-", {1, 2}},
                                      {"2.0.0.20", "001a2b000001", {1, 2, 3, 4, 5}},
                                      {"2.0.0.20", "001a2b000002", {1, 2, 3, 4, 5}}}
            << none << none << QStringList() << 2 << true;
        QTest::newRow("two nodes at one unit's address")
            << curtains(CurtainSize::TwoByOne)
            << std::vector<Answering>{{a, "001a2b000001", {1, 2}}, {a, "001a2b000002", {1, 2}},
                                      {b, "-", {1, 2}}, {c, "-", {1, 2}}}
            << none << none << QStringList{a} << 0 << false;
        QTest::newRow("4X2 in two replies")
            << curtains(CurtainSize::FourByTwo)
            << std::vector<Answering>{{a, "-", {1, 2, 3, 4, 5}}, {b, "-", {0, 1, 2, 3, 4}},
                                      {c, "-", {1, 2, 3, 4, 5}}}
            << none << none << QStringList() << 0 << true;
        QTest::newRow("costume, eight universes")
            << std::vector<LoggedUnit>{{4, "2.0.0.18", UnitKind::Costume, 0}}
            << std::vector<Answering>{{"2.0.0.18", "-", {1, 2, 3, 4, 5, 6, 7, 8}}}
            << none << none << QStringList() << 0 << true;
        QTest::newRow("old log: addresses only")
            << std::vector<LoggedUnit>{{1, a, std::nullopt, 0}, {2, b, std::nullopt, 0}}
            << std::vector<Answering>{{a, "-", {7}}, {b, "-", {}}}
            << none << none << QStringList() << 0 << true;
    }

    void seriesCheck()
    {
        QFETCH(std::vector<LoggedUnit>, units);
        QFETCH(std::vector<Answering>, answering);
        QFETCH(std::vector<int>, missing);
        QFETCH(std::vector<int>, mismatched);
        QFETCH(QStringList, duplicates);
        QFETCH(int, extra);
        QFETCH(bool, consistent);

        const SeriesCheck check = checkSeries(units, seenNodes(answering));
        QCOMPARE(check.missingNumbers(), missing);
        std::vector<int> wrong;
        for (const UnitCheck &unit : check.units) {
            if (!unit.universesMatch)
                wrong.push_back(unit.unit.number);
        }
        QCOMPARE(wrong, mismatched);
        const std::vector<QString> doubled = check.duplicateAddresses();
        QCOMPARE(QStringList(doubled.begin(), doubled.end()), duplicates);
        QCOMPARE(check.extraNodeCount(), extra);
        QCOMPARE(check.allConsistent(), consistent);
    }

    void missingNetworkAdvice_data()
    {
        QTest::addColumn<QStringList>("addresses"); // "ip/prefix"
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("suggested"); // empty: no advice

        QTest::newRow("on the network") << QStringList{"192.168.1.5/24", "2.0.0.1/8"}
                                        << "2.0.0.15" << QString();
        QTest::newRow("no interface") << QStringList() << "2.0.0.15" << "2.0.0.1";
        QTest::newRow("another network") << QStringList{"192.168.1.5/24"} << "2.0.0.15"
                                         << "2.0.0.1";
        QTest::newRow("2.x but a narrower mask") << QStringList{"2.1.0.1/16"} << "2.0.0.15"
                                                 << QString();
        QTest::newRow("the node holds the first host") << QStringList() << "2.0.0.1"
                                                       << "2.0.0.2";
    }

    void missingNetworkAdvice()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, node);
        QFETCH(QString, suggested);
        std::vector<InterfaceAddress> interfaces;
        for (const QString &address : addresses) {
            const QStringList parts = address.split('/');
            interfaces.push_back({"eth", QHostAddress(parts[0]), parts[1].toInt(), {}});
        }
        const QString advice = ::missingNetworkAdvice(interfaces, QHostAddress(node));
        if (suggested.isEmpty()) {
            QVERIFY2(advice.isEmpty(), qPrintable(advice));
        } else {
            QVERIFY(advice.contains(QStringLiteral("2.0.0.0/8")));
            QVERIFY2(advice.contains(suggested + QStringLiteral(", masque 255.0.0.0")),
                     qPrintable(advice));
        }
    }

    // Where `test` polls beside the node's own address (its network's
    // broadcast, where several nodes at one address all hear it), and the
    // addresses the pattern is never sent to, as they reach every node.
    void addressesOfANode_data()
    {
        QTest::addColumn<QStringList>("addresses"); // this computer's, "ip/prefix"
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("broadcasts");
        QTest::addColumn<bool>("manyNodes");

        QTest::newRow("a node on the bench's /8") << QStringList{"192.168.1.5/24", "2.0.0.1/8"}
                                                  << "2.0.0.20" << QStringList{"2.255.255.255"}
                                                  << false;
        QTest::newRow("two addresses on its network, one broadcast")
            << QStringList{"2.0.0.1/8", "2.0.0.2/8"} << "2.0.0.20" << QStringList{"2.255.255.255"}
            << false;
        QTest::newRow("on no interface's network") << QStringList{"192.168.1.5/24"} << "2.0.0.20"
                                                   << QStringList{} << false;
        QTest::newRow("a simulated node on loopback") << QStringList{"2.0.0.1/8"} << "127.0.0.2"
                                                      << QStringList{} << false;
        QTest::newRow("the network's broadcast") << QStringList{"2.0.0.1/8"} << "2.255.255.255"
                                                 << QStringList{"2.255.255.255"} << true;
        QTest::newRow("the limited broadcast") << QStringList{} << "255.255.255.255"
                                               << QStringList{} << true;
        QTest::newRow("a multicast group") << QStringList{} << "239.255.0.1" << QStringList{}
                                           << true;
        QTest::newRow("no address") << QStringList{} << "0.0.0.0" << QStringList{} << true;
    }

    void addressesOfANode()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, address);
        QFETCH(QStringList, broadcasts);
        QFETCH(bool, manyNodes);
        std::vector<InterfaceAddress> interfaces;
        for (const QString &text : addresses) {
            const QStringList parts = text.split('/');
            const QHostAddress ip(parts[0]);
            const quint32 hostBits = 0xFFFFFFFFu >> parts[1].toInt();
            interfaces.push_back({"eth", ip, parts[1].toInt(), QHostAddress(ip.toIPv4Address() | hostBits)});
        }
        QStringList found;
        for (const QHostAddress &broadcast : broadcastsToward(interfaces, QHostAddress(address)))
            found << broadcast.toString();
        QCOMPARE(found, broadcasts);
        QCOMPARE(reachesManyNodes(interfaces, QHostAddress(address)), manyNodes);
    }

    // Poll a simulated node by unicast, list its replies, light its
    // universes with the pattern and end black.
    void loopbackRoundTrip()
    {
        if (runsUnderWine())
            QSKIP("Wine loses the loopback datagrams of this case");
        ArtNetResponder node;
        // 4X2 curtain with 16 universes: five universes, two replies.
        NodeReport configuration = curtain(1, CurtainSize::FourByTwo);
        configuration[Report::UniverseOffset] = 14; // 15..19: across two sub-nets
        node.setConfiguration(configuration);
        node.setMac({0, 0x1a, 0x2b, 0, 0, 1});
        QVERIFY2(node.start(QHostAddress("127.0.0.2"), 0), qPrintable(node.errorText()));

        FakeClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress::LocalHost, 0);
        discovery.setTargets({{QHostAddress("127.0.0.2"), node.port()}});
        QSignalSpy changed(&discovery, &NodeDiscovery::nodesChanged);
        QVERIFY2(discovery.start(), qPrintable(discovery.errorText()));
        QTRY_COMPARE(discovery.nodes().size(), std::size_t(2));
        QVERIFY(!changed.isEmpty());
        QVERIFY(discovery.conflicts().empty());

        std::vector<int> universes;
        for (const SeenNode &seen : discovery.nodes()) {
            QCOMPARE(seen.address.toString(), QStringLiteral("127.0.0.2"));
            QVERIFY(!seen.addressFieldDiffers());
            QCOMPARE(seen.reply.macText(), QStringLiteral("00:1a:2b:00:00:01"));
            const std::vector<int> some = seen.universes();
            universes.insert(universes.end(), some.begin(), some.end());
        }
        QCOMPARE(universes, (std::vector<int>{15, 16, 17, 18, 19}));

        discovery.stop();
        const int answered = node.pollsAnswered();
        discovery.pollNow(); // stopped: sends nothing
        QCOMPARE(node.pollsAnswered(), answered);

        TestPatternSender sender(clock);
        QSignalSpy finished(&sender, &TestPatternSender::finished);
        QVERIFY(sender.start(QHostAddress("127.0.0.2"), universes, node.port()));
        for (int frame = 1; frame < 3; ++frame) {
            clock.now += TestPatternSender::FrameIntervalMs;
            sender.sendFrame();
        }
        QTRY_COMPARE(node.receivedDmx().size(), universes.size() * 3);
        clock.now += TestPatternSender::MaximumDurationMs;
        sender.sendFrame(); // the run's time is over: the black frame
        QCOMPARE(finished.size(), 1);
        QVERIFY(!sender.isRunning());
        QTRY_COMPARE(node.receivedDmx().size(), universes.size() * 4);

        const std::vector<DmxPacket> &received = node.receivedDmx();
        for (std::size_t i = 0; i < universes.size(); ++i) {
            QCOMPARE(received[i].portAddress, universes[i]);
            QCOMPARE(received[i].data, TestPattern::frame(static_cast<int>(i), 0));
            const DmxPacket &last = received[received.size() - universes.size() + i];
            QCOMPARE(last.portAddress, universes[i]);
            QCOMPARE(last.data, TestPattern::blackFrame());
        }
        sender.stop();
        QCOMPARE(finished.size(), 1); // no second black frame
    }

    void aReplyFromAnotherAddressThanItsFieldIsFlagged()
    {
        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress(QHostAddress::LocalHost), 0));
        FakeClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress::LocalHost, 0);
        discovery.setTargets({{QHostAddress("127.0.0.9"), 9}}); // no poll leaves the machine
        QVERIFY(discovery.start());
        PollReply reply;
        reply.ipField = QHostAddress("2.0.0.15").toIPv4Address();
        controller.writeDatagram(encodePollReply(reply), QHostAddress::LocalHost,
                                 discovery.boundPort());
        QTRY_COMPARE(discovery.nodes().size(), std::size_t(1));
        QCOMPARE(discovery.nodes()[0].address.toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(discovery.nodes()[0].addressFieldDiffers());
    }

    void aPortHeldWithoutSharingIsNamed()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::LocalHost), 0, QUdpSocket::DontShareAddress));
        FakeClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress::LocalHost, holder.localPort());
        QSignalSpy error(&discovery, &NodeDiscovery::errorChanged);
        QVERIFY(!discovery.start());
        QVERIFY(!discovery.isRunning());
        QCOMPARE(error.size(), 1);
        QVERIFY2(discovery.errorText().contains(QString::number(holder.localPort())),
                 qPrintable(discovery.errorText()));
    }

    // Who stays in the list and who leaves it: its bound (4 entries here),
    // entries silent long enough, replies a node no longer sends. Steps are
    // "TIME ADDRESS MAC BIND" (a reply heard) or "TIME expire" (a poll).
    void boundedList_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("listed"); // "ADDRESS MAC BIND", " gone" after
        QTest::addColumn<int>("refused");

        const QStringList rig = {"0 2.0.0.1 01 1", "0 2.0.0.2 02 1", "0 2.0.0.3 03 1",
                                 "0 2.0.0.4 04 1"};
        QTest::newRow("full of nodes that answer: a flood of new MACs is refused")
            << rig + QStringList{"100 2.0.0.9 a1 1", "100 2.0.0.9 a2 1", "100 2.0.0.9 a3 1"}
            << QStringList{"2.0.0.1 01 1", "2.0.0.2 02 1", "2.0.0.3 03 1", "2.0.0.4 04 1"} << 3;
        QTest::newRow("full: entries silent for a poll leave for a new node")
            << rig + QStringList{"2500 2.0.0.1 01 1", "2500 2.0.0.2 02 1", "4000 2.0.0.5 05 1"}
            << QStringList{"2.0.0.1 01 1", "2.0.0.2 02 1", "2.0.0.5 05 1"} << 0;
        QTest::newRow("full: a node that keeps answering outlasts the flood")
            << QStringList{"0 2.0.0.1 01 1", "100 2.0.0.9 a1 1", "100 2.0.0.9 a2 1",
                           "100 2.0.0.9 a3 1", "2500 2.0.0.1 01 1", "3000 2.0.0.9 a4 1",
                           "4000 2.0.0.9 a5 1"}
            << QStringList{"2.0.0.1 01 1", "2.0.0.9 a5 1"} << 1;
        QTest::newRow("heard twice, then silent: listed as gone")
            << QStringList{"0 2.0.0.1 01 1", "2500 2.0.0.1 01 1", "10001 expire"}
            << QStringList{"2.0.0.1 01 1 gone"} << 0;
        QTest::newRow("heard once, then silent: a stray reply, forgotten")
            << QStringList{"0 2.0.0.1 01 1", "2500 2.0.0.1 01 1", "0 2.0.0.9 a1 1", "10001 expire"}
            << QStringList{"2.0.0.1 01 1 gone"} << 0;
        QTest::newRow("a reply its node no longer sends leaves, the node stays")
            << QStringList{"0 2.0.0.1 - 1", "0 2.0.0.1 - 2", "2500 2.0.0.1 - 1", "2500 2.0.0.1 - 2",
                           "5000 2.0.0.1 - 1", "7500 2.0.0.1 - 1", "10001 expire"}
            << QStringList{"2.0.0.1 - 1"} << 0;
        QTest::newRow("not full: nothing leaves but by silence")
            << QStringList{"0 2.0.0.1 01 1", "0 2.0.0.2 02 1", "9000 2.0.0.3 03 1"}
            << QStringList{"2.0.0.1 01 1", "2.0.0.2 02 1", "2.0.0.3 03 1"} << 0;
    }

    void boundedList()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, listed);
        QFETCH(int, refused);
        NodeTable table(GoneAfterMs, 4);
        for (const QString &step : steps) {
            const QStringList words = step.split(' ');
            const qint64 at = words[0].toLongLong();
            if (words[1] == "expire") {
                table.expire(at);
                continue;
            }
            const QString mac = words[2] == "-" ? words[2] : "0000000000" + words[2];
            table.record(QHostAddress(words[1]), replyOf({words[1], mac, words[3].toInt(), "n"}), at);
        }
        QStringList found;
        for (const SeenNode &node : table.nodes())
            found << QStringLiteral("%1 %2 %3%4")
                         .arg(node.address.toString(),
                              node.reply.hasMac() ? node.reply.macText().right(2) : "-")
                         .arg(node.reply.bindIndex)
                         .arg(node.gone ? " gone" : "");
        QCOMPARE(found, listed);
        QCOMPARE(table.refusedReplies(), quint64(refused));
    }

    // How a text from a packet is shown: never a control character, a
    // direction mark or a broken sequence.
    void shownText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");

        QTest::newRow("plain") << QByteArray("Rideau 12") << "Rideau 12";
        QTest::newRow("escape sequences") << QByteArray("\x1b[2J\x1b]0;x\x07ok") << "[2J]0;xok";
        QTest::newRow("line ends and tabs become spaces") << QByteArray("a\nb\r\tc") << "a b  c";
        QTest::newRow("delete and C1 controls") << QByteArray("a\x7f\x9b" "1m") << "a1m";
        QTest::newRow("UTF-8") << QByteArray("Sc\xc3\xa8ne \xf0\x9f\x92\xa1") << "Scène 💡";
        QTest::newRow("UTF-8 cut by the end of its field") << QByteArray("Sc\xc3") << "Sc";
        QTest::newRow("not UTF-8: one character a byte") << QByteArray("B\xfchne") << "Bühne";
        QTest::newRow("an overlong form is not UTF-8") << QByteArray("\xc0\xaf") << "À¯";
        QTest::newRow("an encoded surrogate is not UTF-8")
            << QByteArray("\xed\xa0\x80") << QString::fromUtf8("\xc3\xad\xc2\xa0");
        QTest::newRow("direction marks and separators")
            << QByteArray("ab\xe2\x80\xae" "cd\xe2\x80\xa8" "e\xe2\x81\xa6" "f") << "abcdef";
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void shownText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(::shownText(bytes), shown);
    }

    // Replies waiting in numbers are read a bounded number a turn of the
    // event loop: a timer started at the first of them runs before the
    // last is read.
    void aFloodLeavesTheEventLoopItsTurns()
    {
        // Under Wine, Qt's Windows event dispatcher had read every waiting
        // datagram before it ran the zero timer: it is no witness there.
        if (runsUnderWine())
            QSKIP("the Windows event dispatcher runs a zero timer after the socket's notifications");
        FakeClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress::LocalHost, 0);
        discovery.setTargets({{QHostAddress("127.0.0.9"), 9}});
        QVERIFY(discovery.start());
        constexpr int Replies = 300;
        QUdpSocket flood;
        QVERIFY(flood.bind(QHostAddress("127.0.0.8"), 0));
        for (int number = 0; number < Replies; ++number) {
            const QString mac = QStringLiteral("0200000001%1").arg(number, 2, 16, QLatin1Char('0'));
            flood.writeDatagram(encodePollReply(replyOf({"127.0.0.8", mac.right(12), 1, "n"})),
                                QHostAddress::LocalHost, discovery.boundPort());
        }
        std::size_t readWhenTimerRan = 0;
        bool started = false;
        connect(&discovery, &NodeDiscovery::nodesChanged, this, [&] {
            if (!started)
                QTimer::singleShot(0, &discovery, [&] { readWhenTimerRan = discovery.nodes().size(); });
            started = true;
        });
        QTRY_COMPARE(discovery.nodes().size(), std::size_t(Replies));
        QVERIFY2(readWhenTimerRan > 0 && readWhenTimerRan <= std::size_t(NodeDiscovery::DatagramsPerTurn),
                 qPrintable(QString::number(readWhenTimerRan)));
        QCOMPARE(discovery.reception().droppedBySystem > 0, false);
    }

    void testPatternNeedsUniversesAndSendsNothingUntilStarted()
    {
        FakeClock clock;
        TestPatternSender sender(clock);
        sender.sendFrame();
        QCOMPARE(sender.framesSent(), 0LL);
        QVERIFY(!sender.start(QHostAddress("127.0.0.2"), {}));
        QVERIFY(!sender.errorText().isEmpty());
        QVERIFY(!sender.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestNetDiscovery)
#include "tst_netdiscovery.moc"

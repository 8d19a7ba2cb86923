// The network side's figures: decoding 1000 ArtPollReply, the first list
// after start when the nodes answer at once, the CPU a running discovery
// takes while idle, and the CPU of the test pattern at its rate. Nodes are
// simulated on 127.0.0.x, polled by unicast: nothing leaves the machine.

#include "link/systemclock.h"
#include "net/artnetpackets.h"
#include "net/nodediscovery.h"
#include "net/testpatternsender.h"
#include "processorshare.h"
#include "protocol/presets.h"
#include "sim/artnetresponder.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr int Replies = 1000;
constexpr int DecodeGoalMs = 10;
constexpr int Nodes = 50;
constexpr int FirstListGoalMs = 1200;
constexpr int IdleSeconds = 10;
constexpr double IdleGoalPercent = 1.0;
constexpr int PatternSeconds = 5;
constexpr int PatternUniverses = 16;
constexpr double PatternGoalPercent = 2.0;

std::vector<QByteArray> sampleReplies()
{
    ArtNetResponder node;
    node.setConfiguration(curtainReport(1, CurtainSize::FourByTwo, LargeCapacity));
    std::vector<QByteArray> datagrams;
    for (int i = 0; i < Replies; ++i) {
        ArtNet::PollReply reply = node.replies().front();
        reply.ipField = 0x02000000u + static_cast<std::uint32_t>(i);
        reply.nodeReport = QByteArray("#0001 [") + QByteArray::number(i) + "] ok";
        datagrams.push_back(ArtNet::encodePollReply(reply));
    }
    return datagrams;
}

} // namespace

class BenchArtNet : public QObject
{
    Q_OBJECT

private slots:
    void decodeThousandReplies()
    {
        const std::vector<QByteArray> datagrams = sampleReplies();
        QElapsedTimer timer;
        timer.start();
        int outputs = 0;
        for (const QByteArray &datagram : datagrams) {
            ArtNet::PollReply reply;
            QVERIFY(ArtNet::decodePollReply(datagram, reply));
            outputs += static_cast<int>(reply.outputPortAddresses().size());
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        QCOMPARE(outputs, Replies * 4);
        qInfo("decode of %d ArtPollReply: %.3f ms (goal under %d ms)", Replies, ms, DecodeGoalMs);
        QVERIFY(ms < DecodeGoalMs);
    }

    void firstListWhenNodesAnswerAtOnce()
    {
        std::vector<std::unique_ptr<ArtNetResponder>> nodes;
        std::vector<NodeDiscovery::Target> targets;
        for (int i = 0; i < Nodes; ++i) {
            nodes.push_back(std::make_unique<ArtNetResponder>());
            nodes.back()->setConfiguration(curtainReport(i + 1, CurtainSize::TwoByOne, LargeCapacity));
            const QHostAddress address(QStringLiteral("127.0.1.%1").arg(i + 1));
            QVERIFY(nodes.back()->start(address, 0));
            targets.push_back({address, nodes.back()->port()});
        }
        SystemClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress(QHostAddress::LocalHost), 0);
        discovery.setTargets(targets);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(discovery.start());
        QTRY_COMPARE_WITH_TIMEOUT(discovery.nodes().size(), std::size_t(Nodes), FirstListGoalMs);
        qInfo("first list of %d nodes after start: %lld ms (goal under %d ms)", Nodes,
              static_cast<long long>(timer.elapsed()), FirstListGoalMs);
    }

    void idleDiscovery()
    {
        ArtNetResponder node;
        node.setConfiguration(curtainReport(1, CurtainSize::TwoByOne, LargeCapacity));
        QVERIFY(node.start(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        SystemClock clock;
        NodeDiscovery discovery(clock);
        discovery.setBindAddress(QHostAddress(QHostAddress::LocalHost), 0);
        discovery.setTargets({{node.address(), node.port()}});
        QVERIFY(discovery.start());
        const double percent = cpuPercentOver(IdleSeconds * 1000);
        QVERIFY(node.pollsAnswered() >= IdleSeconds * 1000 / NodeDiscovery::PollIntervalMs);
        qInfo("running discovery with one node, %d s: %.2f %% of a core (goal under %.0f %%)",
              IdleSeconds, percent, IdleGoalPercent);
        QVERIFY(percent < IdleGoalPercent);
    }

    // To a socket that does not read: the sender's own cost only.
    void testPatternAtItsRate()
    {
        QUdpSocket sink;
        QVERIFY(sink.bind(QHostAddress(QStringLiteral("127.0.0.3")), 0));
        SystemClock clock;
        TestPatternSender sender(clock);
        std::vector<int> universes;
        for (int u = 1; u <= PatternUniverses; ++u)
            universes.push_back(u);
        QVERIFY(sender.start(sink.localAddress(), universes, sink.localPort()));
        const double percent = cpuPercentOver(PatternSeconds * 1000);
        const double rate = sender.framesSent() / static_cast<double>(PatternSeconds);
        sender.stop();
        qInfo("test pattern to %d universes: %.1f frames/s, %.2f %% of a core (goal under %.0f %%)",
              PatternUniverses, rate, percent, PatternGoalPercent);
        QVERIFY(rate <= TestPatternSender::FramesPerSecond + 1);
        QVERIFY(percent < PatternGoalPercent);
    }
};

QTEST_GUILESS_MAIN(BenchArtNet)
#include "bench_artnet.moc"

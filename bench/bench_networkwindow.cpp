// The network window and nodeconfig-cli network at a rig's scale, against a
// simulated rig in a child process (this program run again), so that what
// is measured is the tool's own work: the rig's nodes answer every poll at
// once from 127.4.x.y, two replies each, and the flood sends replies from
// new MACs without end. Nothing leaves the machine.
//
// - with 50, 250 and 1,000 nodes: the time from show() to every node
//   listed, the longest block of the GUI thread (the largest gap between
//   the ticks of a 5 ms timer) while the list fills and through four polls,
//   and the processor share of the open window;
// - with 250 nodes and a series writing unit after unit in the series
//   window beside it: the longest block of the GUI thread;
// - under a flood of 50,000 replies: nodeconfig-cli network --wait 3: its duration, its peak memory against
//   a run without flood; and under a flood without end, the window's
//   longest block, the command's duration and how soon it ends on SIGTERM
//   (as on Ctrl+C).

#include "app/startup.h"
#include "app/sharedstate.h"
#include "cliseriesunit.h"
#include "net/artnetpackets.h"
#include "processorshare.h"
#include "ui/mainwindow.h"
#include "ui/networkwindow.h"
#include "ui/serieswindow.h"
#include "usb/hidpacing.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The child's part, named in this variable: "nodes N", "flood" (50,000
// replies after the first poll) or "endless" (a flood without end).
const char *const RigVariable = "NODECONFIG_BENCH_RIG";
const QByteArray PortMark = "port ";
const QHostAddress PollerAddress(QStringLiteral("127.3.0.1"));
constexpr int AddressesPerBlock = 250;
constexpr int RepliesPerNode = 2;
constexpr int UniversesPerReply = 4;
constexpr int FloodReplies = 50000;
constexpr int FloodSources = 250;
constexpr int FloodBatch = 500;

constexpr int TickMs = 5;
constexpr int PollsWatched = 4;
constexpr int IdleSeconds = 20;
constexpr int SeriesSeconds = 12;
constexpr int ReplugAfterMs = 300;
constexpr int MsPerSecond = 1000;
constexpr int FirstListLimitMs = 10000;
constexpr int ChildStartMs = 10000;
constexpr int LongestBlockGoalMs = 50;
constexpr double OpenCpuGoalPercent = 2.0;
constexpr int BlockGoalNodes = 250;
constexpr int CliWaitSeconds = 3;
constexpr int CliGoalMs = (CliWaitSeconds + 1) * MsPerSecond;
constexpr int StopWaitSeconds = 60;
constexpr int StopAfterMs = 1500;
constexpr int StopGoalMs = 500;
constexpr int MemoryPollMs = 20;

QHostAddress nodeAddress(int node)
{
    return QHostAddress(QStringLiteral("127.4.%1.%2")
                            .arg(node / AddressesPerBlock)
                            .arg(node % AddressesPerBlock + 1));
}

ArtNet::PollReply nodeReply(int node, int bindIndex)
{
    ArtNet::PollReply reply;
    reply.ipField = nodeAddress(node).toIPv4Address();
    reply.shortName = "Rideau " + QByteArray::number(node + 1);
    reply.longName = reply.shortName;
    reply.mac = {0x02, 0, 0, static_cast<std::uint8_t>(node >> 16),
                 static_cast<std::uint8_t>(node >> 8), static_cast<std::uint8_t>(node)};
    reply.bindIndex = static_cast<std::uint8_t>(bindIndex);
    reply.numPorts = UniversesPerReply;
    for (std::size_t port = 0; port < UniversesPerReply; ++port) {
        reply.portTypes[port] = 0x80;
        reply.swOut[port] = static_cast<std::uint8_t>((bindIndex - 1) * UniversesPerReply + port);
    }
    return reply;
}

// The simulated rig: a poller socket the tool polls, and a socket per node
// (or per flood source) that answers from its own address.
class Rig : public QObject
{
public:
    // floodLimit: replies the flood sends in all, -1 without end; 0: no
    // flood, the nodes answer.
    Rig(int nodeCount, int floodLimit) : flood(floodLimit != 0), floodLimit(floodLimit)
    {
        const int sources = flood ? FloodSources : nodeCount;
        for (int node = 0; node < sources; ++node) {
            sockets.push_back(std::make_unique<QUdpSocket>());
            sockets.back()->bind(nodeAddress(node), 0);
        }
        poller.bind(PollerAddress, 0);
        connect(&poller, &QUdpSocket::readyRead, this, &Rig::answer);
        connect(&floodTimer, &QTimer::timeout, this, &Rig::floodSome);
    }
    quint16 port() const { return poller.localPort(); }

private:
    void answer()
    {
        while (poller.hasPendingDatagrams()) {
            const QNetworkDatagram poll = poller.receiveDatagram();
            to = poll.senderAddress();
            toPort = static_cast<quint16>(poll.senderPort());
            if (flood) {
                floodTimer.start(0);
                continue;
            }
            for (std::size_t node = 0; node < sockets.size(); ++node)
                for (int bind = 1; bind <= RepliesPerNode; ++bind)
                    sockets[node]->writeDatagram(
                        ArtNet::encodePollReply(nodeReply(static_cast<int>(node), bind)), to, toPort);
        }
    }
    // A batch a turn, each reply from a new MAC, until the limit.
    void floodSome()
    {
        const auto more = [this] { return floodLimit < 0 || floodSent < floodLimit; };
        for (int sent = 0; sent < FloodBatch && more(); ++sent, ++floodSent) {
            QUdpSocket &source = *sockets[static_cast<std::size_t>(floodSent % FloodSources)];
            ArtNet::PollReply reply = nodeReply(floodSent, 1);
            reply.ipField = source.localAddress().toIPv4Address();
            source.writeDatagram(ArtNet::encodePollReply(reply), to, toPort);
        }
        if (!more())
            floodTimer.stop();
    }

    QUdpSocket poller;
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    QTimer floodTimer;
    QHostAddress to;
    quint16 toPort = 0;
    bool flood;
    int floodLimit;
    int floodSent = 0;
};

int runRig(int argc, char *argv[], const QByteArray &request)
{
    QCoreApplication app(argc, argv);
    const int floodLimit = request == "flood" ? FloodReplies : request == "endless" ? -1 : 0;
    Rig rig(request.mid(request.indexOf(' ') + 1).toInt(), floodLimit);
    std::printf("%s%u\n", PortMark.constData(), static_cast<unsigned>(rig.port()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// A rig in a child process; killed with the object.
class RigProcess
{
public:
    explicit RigProcess(const QString &request)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(RigVariable), request);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        if (child.waitForReadyRead(ChildStartMs)) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith(PortMark))
                rigPort = static_cast<quint16>(line.mid(PortMark.size()).toUInt());
        }
    }
    ~RigProcess()
    {
        child.kill();
        child.waitForFinished();
    }
    quint16 port() const { return rigPort; }

private:
    QProcess child;
    quint16 rigPort = 0;
};

// The longest block of the GUI thread: the largest gap between the ticks of
// a TickMs timer, as the clock and as the processor time the process used
// in a gap. On a busy machine the first also counts the time the system
// gave other programs; the second is the tool's own work.
struct Block {
    qint64 wallMs = 0;
    double cpuMs = 0;
};

// While the event loop runs until `done` says so or `limitMs` passes.
template <typename Done>
Block longestBlockUntil(Done done, int limitMs)
{
    Block longest;
    QElapsedTimer sinceTick;
    double cpuAtTick = cpuSeconds();
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const double cpu = cpuSeconds();
        longest.wallMs = std::max(longest.wallMs, sinceTick.restart());
        longest.cpuMs = std::max(longest.cpuMs, (cpu - cpuAtTick) * MsPerSecond);
        cpuAtTick = cpu;
    });
    QElapsedTimer elapsed;
    elapsed.start();
    sinceTick.start();
    ticks.start(TickMs);
    while (!done() && elapsed.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, TickMs);
    return longest;
}

QByteArray blockText(const Block &block)
{
    return QByteArrayLiteral("%1 ms (its own work %2 ms)")
        .replace("%1", QByteArray::number(block.wallMs))
        .replace("%2", QByteArray::number(block.cpuMs, 'f', 1));
}

std::unique_ptr<NetworkWindow> windowOn(quint16 rigPort, QWidget *parent = nullptr)
{
    NetworkReach reach;
    reach.bindAddress = QHostAddress(QHostAddress::LocalHost);
    reach.bindPort = 0;
    reach.fixed = true;
    reach.targets = {{PollerAddress, rigPort}};
    auto window = std::make_unique<NetworkWindow>(parent, reach);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the network window was not shown");
    return window;
}

int rowsOf(const NetworkWindow &window)
{
    return window.findChild<QTableView *>("nodes")->model()->rowCount();
}

// The peak resident memory of a process, in Kio, from the system's
// process table (Linux); 0 where there is none.
qint64 peakMemoryKio(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(line.indexOf(':') + 1).trimmed().split(' ').front().toLongLong();
    }
    return 0;
}

struct CliRunFigures {
    qint64 ms = 0;
    qint64 peakKio = 0;
    int lines = 0;
    int status = -1;
};

// nodeconfig-cli network against the rig, with `more` arguments; stopped
// with SIGTERM after `stopAfterMs` when positive.
CliRunFigures runCli(quint16 rigPort, int waitSeconds, int stopAfterMs,
                     const QStringList &more = QStringList())
{
    QProcess cli;
    QElapsedTimer elapsed;
    elapsed.start();
    cli.start(QStringLiteral(NODECONFIG_CLI_PATH),
              QStringList{"network", "--poll",
                          QStringLiteral("%1:%2").arg(PollerAddress.toString()).arg(rigPort),
                          "--wait", QString::number(waitSeconds)}
                  + more);
    cli.waitForStarted();
    CliRunFigures figures;
    qint64 stoppedAt = -1;
    while (!cli.waitForFinished(MemoryPollMs)) {
        figures.peakKio = std::max(figures.peakKio, peakMemoryKio(cli.processId()));
        if (stopAfterMs > 0 && stoppedAt < 0 && elapsed.elapsed() >= stopAfterMs) {
            stoppedAt = elapsed.elapsed();
            cli.terminate();
        }
    }
    figures.ms = elapsed.elapsed() - (stoppedAt < 0 ? 0 : stoppedAt);
    figures.lines = cli.readAllStandardOutput().count('\n');
    figures.status = cli.exitCode();
    return figures;
}

} // namespace

class BenchNetworkWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowAtRigSize_data()
    {
        QTest::addColumn<int>("nodes");
        QTest::newRow("50 nodes") << 50;
        QTest::newRow("250 nodes") << 250;
        QTest::newRow("1000 nodes") << 1000;
    }

    void windowAtRigSize()
    {
        QFETCH(int, nodes);
        const RigProcess rig(QStringLiteral("nodes %1").arg(nodes));
        QVERIFY(rig.port() != 0);
        QElapsedTimer sinceShown;
        sinceShown.start();
        const auto window = windowOn(rig.port());
        qint64 firstListMs = -1;
        const Block fillingBlock = longestBlockUntil(
            [&] {
                if (firstListMs < 0 && rowsOf(*window) == nodes)
                    firstListMs = sinceShown.elapsed();
                return firstListMs >= 0;
            },
            FirstListLimitMs);
        QVERIFY2(firstListMs >= 0, qPrintable(QString::number(rowsOf(*window))));
        const Block pollingBlock =
            longestBlockUntil([] { return false; }, PollsWatched * NodeDiscovery::PollIntervalMs);
        const double percent = cpuPercentOver(IdleSeconds * MsPerSecond);
        QCOMPARE(rowsOf(*window), nodes);
        qInfo("%d nodes: listed %lld ms after show(); longest GUI block %s while the list fills, "
              "%s over %d polls (goal <= %d ms at %d nodes); open window %.2f %% of a core over "
              "%d s (goal <= %.0f %% at %d nodes)",
              nodes, static_cast<long long>(firstListMs), blockText(fillingBlock).constData(),
              blockText(pollingBlock).constData(), PollsWatched, LongestBlockGoalMs,
              BlockGoalNodes, percent, IdleSeconds, OpenCpuGoalPercent, BlockGoalNodes);
    }

    // The network window with 250 nodes while the series window writes
    // unit after unit to a simulated node.
    void windowBesideASeries()
    {
        const RigProcess rig(QStringLiteral("nodes %1").arg(BlockGoalNodes));
        QVERIFY(rig.port() != 0);
        fakehid::reset();
        setHidPacing(WindowPacing);
        auto main = std::make_unique<MainWindow>();
        main->show();
        startSearch();
        main->findChild<QLineEdit *>("numRideau")->setText("1");
        main->findChild<QAction *>("actionSeries")->trigger();
        auto *const series = main->findChild<SeriesWindow *>();
        auto *const result = series->findChild<QLabel *>("result");
        const auto window = windowOn(rig.port(), main.get());
        QTRY_COMPARE_WITH_TIMEOUT(rowsOf(*window), BlockGoalNodes, FirstListLimitMs);
        series->findChild<QPushButton *>("bStart")->click();
        fakehid::DeviceId node = fakehid::plug();
        int units = 0;
        QElapsedTimer elapsed;
        elapsed.start();
        QElapsedTimer unplugged;
        // Each unit verified is unplugged and a new one plugged a moment later.
        const Block longest = longestBlockUntil(
            [&] {
                if (node != fakehid::NoDevice && result->text().endsWith(VerifiedMark)) {
                    ++units;
                    fakehid::unplug(node);
                    node = fakehid::NoDevice;
                    unplugged.start();
                } else if (node == fakehid::NoDevice && unplugged.elapsed() >= ReplugAfterMs) {
                    node = fakehid::plug();
                }
                return elapsed.elapsed() >= SeriesSeconds * MsPerSecond;
            },
            SeriesSeconds * MsPerSecond);
        series->findChild<QPushButton *>("bStop")->click();
        searchTimer->stop();
        qInfo("%d nodes listed beside a series (%d units written in %d s): longest GUI block %s "
              "(goal <= %d ms)",
              BlockGoalNodes, units, SeriesSeconds, blockText(longest).constData(),
              LongestBlockGoalMs);
    }

    // The window under a flood of replies from new MACs without end.
    void windowUnderAFlood()
    {
        const RigProcess rig(QStringLiteral("endless"));
        QVERIFY(rig.port() != 0);
        const auto window = windowOn(rig.port());
        const Block longest =
            longestBlockUntil([] { return false; }, PollsWatched * NodeDiscovery::PollIntervalMs);
        qInfo("window under an endless flood of replies from new MACs: longest GUI block %s over "
              "%d polls, %d rows (one per address in conflict)",
              blockText(longest).constData(), PollsWatched, rowsOf(*window));
    }

    // nodeconfig-cli network --wait 3: without and with the flood, and a
    // flood stopped by SIGTERM.
    void cliUnderAFlood()
    {
        const RigProcess quiet(QStringLiteral("nodes %1").arg(BlockGoalNodes));
        QVERIFY(quiet.port() != 0);
        const CliRunFigures calm = runCli(quiet.port(), CliWaitSeconds, 0);
        const RigProcess flood(QStringLiteral("flood"));
        QVERIFY(flood.port() != 0);
        const CliRunFigures flooded = runCli(flood.port(), CliWaitSeconds, 0);
        const RigProcess endless(QStringLiteral("endless"));
        QVERIFY(endless.port() != 0);
        const CliRunFigures flooding = runCli(endless.port(), CliWaitSeconds, 0);
        const CliRunFigures stopped = runCli(endless.port(), StopWaitSeconds, StopAfterMs);
        const CliRunFigures stoppedJson =
            runCli(endless.port(), StopWaitSeconds, StopAfterMs, {"--json"});
        qInfo("nodeconfig-cli network --wait %d, %d nodes: %lld ms, peak %lld Kio, %d lines, "
              "exit %d",
              CliWaitSeconds, BlockGoalNodes, static_cast<long long>(calm.ms),
              static_cast<long long>(calm.peakKio), calm.lines, calm.status);
        qInfo("the same under a flood of %d replies from new MACs: %lld ms (goal <= %d ms), peak "
              "%lld Kio, %d lines, exit %d",
              FloodReplies, static_cast<long long>(flooded.ms), CliGoalMs,
              static_cast<long long>(flooded.peakKio), flooded.lines, flooded.status);
        qInfo("the same under an endless flood: %lld ms (goal <= %d ms), peak %lld Kio, %d "
              "lines, exit %d",
              static_cast<long long>(flooding.ms), CliGoalMs,
              static_cast<long long>(flooding.peakKio), flooding.lines, flooding.status);
        qInfo("--wait %d under the endless flood, SIGTERM after %d ms: ended %lld ms later (goal "
              "<= %d ms), exit %d",
              StopWaitSeconds, StopAfterMs, static_cast<long long>(stopped.ms), StopGoalMs,
              stopped.status);
        qInfo("the same with --json (%d lines of JSON, the whole list): ended %lld ms later, "
              "exit %d",
              stoppedJson.lines, static_cast<long long>(stoppedJson.ms), stoppedJson.status);
    }
};

int main(int argc, char *argv[])
{
    const QByteArray request = qgetenv(RigVariable);
    if (!request.isEmpty())
        return runRig(argc, argv, request);
    QApplication app(argc, argv);
    // As QTEST_MAIN does for a widgets test.
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    BenchNetworkWindow bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_networkwindow.moc"

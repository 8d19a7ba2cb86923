// The network window: how soon the first list shows after the window opens
// when the nodes answer at once, and what it costs while it sits open with
// its list (the poll every 2.5 s, the replies, the refresh every second).
// Simulated nodes answer on 127.0.0.x; nothing leaves the machine.

#include "sim/artnetresponder.h"
#include "ui/networkwindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTableWidget>
#include <QtTest>

#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int NodeCount = 8;
constexpr int IdleSeconds = 20;
constexpr int MsPerSecond = 1000;
constexpr double Percent = 100.0;
constexpr qint64 FirstListLimitMs = 1200;

// Patch 1..16, offset 0: four replies a node.
NodeReport benchConfiguration()
{
    NodeReport report{};
    for (std::size_t slot = 0; slot < 2 * Report::PatchSlots; ++slot)
        report[Report::Spi1Patch + slot] = static_cast<std::uint8_t>(slot + 1);
    return report;
}

} // namespace

class BenchNetworkWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstList();
    void idleCpu();

private:
    std::unique_ptr<NetworkWindow> openWindow();

    std::vector<std::unique_ptr<ArtNetResponder>> nodes;
    NetworkReach reach;
};

void BenchNetworkWindow::initTestCase()
{
    reach.bindAddress = QHostAddress(QHostAddress::LocalHost);
    reach.bindPort = 0;
    reach.fixed = true;
    for (int index = 0; index < NodeCount; ++index) {
        auto node = std::make_unique<ArtNetResponder>();
        node->setConfiguration(benchConfiguration());
        node->setMac({0x02, 0, 0, 0, 0, static_cast<std::uint8_t>(index + 1)});
        QVERIFY(node->start(QHostAddress(QStringLiteral("127.0.0.%1").arg(index + 2)), 0));
        reach.targets.push_back({node->address(), node->port()});
        nodes.push_back(std::move(node));
    }
}

std::unique_ptr<NetworkWindow> BenchNetworkWindow::openWindow()
{
    auto window = std::make_unique<NetworkWindow>(nullptr, reach);
    window->show();
    return window;
}

// From show() to every node in the list.
void BenchNetworkWindow::firstList()
{
    qint64 slowestMs = 0;
    QBENCHMARK {
        QElapsedTimer elapsed;
        elapsed.start();
        const auto window = openWindow();
        const auto *const table = window->findChild<QTableWidget *>("nodes");
        QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), NodeCount, 5000);
        slowestMs = std::max(slowestMs, elapsed.elapsed());
    }
    qInfo("first list of %d nodes: %lld ms at the slowest (limit %lld ms)", NodeCount, slowestMs,
          FirstListLimitMs);
    QVERIFY(slowestMs < FirstListLimitMs);
}

// The process's processor time while the window sits open with its list,
// the simulated nodes' answers included.
void BenchNetworkWindow::idleCpu()
{
    const auto window = openWindow();
    const auto *const table = window->findChild<QTableWidget *>("nodes");
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), NodeCount, 5000);
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    // An event loop of its own: QTest::qWait would wake every 10 ms.
    QEventLoop idle;
    QTimer::singleShot(IdleSeconds * MsPerSecond, &idle, &QEventLoop::quit);
    idle.exec();
    const double cpuMs = double(MsPerSecond) * double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double percentOfCore = Percent * cpuMs / double(wall.elapsed());
    qInfo("network window open %d s with %d nodes: %.3f %% of a core (limit 1 %%)", IdleSeconds,
          NodeCount, percentOfCore);
    QVERIFY(percentOfCore < 1.0);
}

QTEST_MAIN(BenchNetworkWindow)
#include "bench_networkwindow.moc"

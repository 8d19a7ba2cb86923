// Cost of the work done on the two timer ticks: the 15 ms refresh when
// nothing changed, the refresh that copies a decoded report, the decode
// itself, and a 100 ms search tick with no node plugged in.

#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "ui/mainwindow.h"

#include <QtTest>

namespace {

NodeReport benchReport()
{
    NodeReport report{};
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(i * 7);
    return report;
}

} // namespace

class BenchTicks : public QObject
{
    Q_OBJECT

private slots:
    void decode()
    {
        const NodeReport report = benchReport();
        QBENCHMARK { decodeReport(report); }
    }

    void idleRefresh()
    {
        MainWindow window;
        dataReady = false;
        QBENCHMARK { QMetaObject::invokeMethod(&window, "updateDisplay"); }
    }

    void refreshWithData()
    {
        MainWindow window;
        const NodeReport report = benchReport();
        QBENCHMARK {
            decodeReport(report);
            QMetaObject::invokeMethod(&window, "updateDisplay");
        }
    }

    void searchWithoutNode()
    {
        MainWindow window;
        QBENCHMARK { QMetaObject::invokeMethod(&window, "searchDevice"); }
    }
};

QTEST_MAIN(BenchTicks)
#include "bench_ticks.moc"

// nodeconfig-cli against a simulated node that answers at once, with the
// transport's real pauses and the real clock: how long one unit of a series
// takes from plug-in to "vérifié", and how long `show` takes once the node
// is there. Each figure is the median of several runs.

#include "cli/cliapp.h"
#include "cliseriesunit.h"
#include "link/lineoutput.h"
#include "link/systemclock.h"
#include "sim/fakehid.h"

#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int SeriesRuns = 5;
constexpr int ShowRuns = 10;
// The node's 500 ms store pause and one 100 ms poll.
constexpr int SeriesUnitGoalMs = 600;
constexpr int ShowGoalMs = 50;

qint64 oneShow()
{
    fakehid::reset();
    fakehid::plug();
    SystemClock clock;
    SilentOutput output;
    QElapsedTimer stopwatch;
    stopwatch.start();
    CliApp(clock, output).run({"show"});
    return stopwatch.elapsed();
}

qreal medianOf(int runs, const std::function<qint64()> &measure)
{
    std::vector<qint64> times;
    for (int run = 0; run < runs; ++run)
        times.push_back(measure());
    return median(times);
}

} // namespace

class BenchCli : public QObject
{
    Q_OBJECT

private slots:
    void seriesUnitPlugInToVerified()
    {
        const qreal ms = medianOf(SeriesRuns, [] { return oneCliSeriesUnit({"--from", "1"}); });
        QVERIFY(ms >= 0);
        qInfo("series unit, plug-in to verified: %.0f ms (goal <= %d ms)", ms, SeriesUnitGoalMs);
    }

    void showWithNodePlugged()
    {
        const qreal ms = medianOf(ShowRuns, oneShow);
        qInfo("show, node plugged: %.0f ms (goal <= %d ms)", ms, ShowGoalMs);
    }
};

QTEST_GUILESS_MAIN(BenchCli)
#include "bench_cli.moc"

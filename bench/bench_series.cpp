// The series window against nodeconfig-cli series, on the same simulated
// node that answers at once, with the transport's real pauses and the real
// clock: the median time from plug-in to "vérifié" of each, and the longest
// time the window's GUI thread goes without handling events while a unit is
// written (measured as the largest gap between the ticks of a 5 ms timer).

#include "app/sharedstate.h"
#include "app/startup.h"
#include "cliseriesunit.h"
#include "ui/mainwindow.h"
#include "ui/serieswindow.h"
#include "usb/hidpacing.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

constexpr int Runs = 5;
constexpr int TickMs = 5;
constexpr int LongestWaitMs = 10000;
// Within 10 % of the command line; no block longer than one node exchange.
constexpr qreal WindowToCliGoal = 1.10;
constexpr int LongestBlockGoalMs = 300;

struct WindowUnit {
    qint64 plugInToVerifiedMs = -1;
    qint64 longestTickGapMs = 0;
};

WindowUnit oneWindowUnit()
{
    fakehid::reset();
    setHidPacing(WindowPacing);
    auto window = std::make_unique<MainWindow>();
    window->show();
    startSearch();
    window->findChild<QLineEdit *>("numRideau")->setText("1");
    window->findChild<QAction *>("actionSeries")->trigger();
    auto *const series = window->findChild<SeriesWindow *>();
    auto *const result = series->findChild<QLabel *>("result");
    // Both windows painted first: their first frame is not the series' work.
    if (!QTest::qWaitForWindowExposed(window.get()) || !QTest::qWaitForWindowExposed(series))
        qWarning("the windows were not shown");
    QCoreApplication::processEvents();

    WindowUnit unit;
    QElapsedTimer stopwatch;
    QElapsedTimer sinceTick;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&unit, &sinceTick] {
        unit.longestTickGapMs = std::max(unit.longestTickGapMs, sinceTick.restart());
    });
    // The node comes right after the series' first look, as in the command
    // line's benchmark.
    series->findChild<QPushButton *>("bStart")->click();
    fakehid::plug();
    stopwatch.start();
    sinceTick.start();
    ticks.start(TickMs);
    while (!result->text().endsWith(VerifiedMark) && stopwatch.elapsed() < LongestWaitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, TickMs);
    unit.plugInToVerifiedMs = stopwatch.elapsed();
    ticks.stop();
    series->findChild<QPushButton *>("bStop")->click();
    searchTimer->stop();
    return unit;
}

} // namespace

class BenchSeries : public QObject
{
    Q_OBJECT

private slots:
    void windowAgainstCommandLine()
    {
        std::vector<qint64> window;
        std::vector<qint64> gaps;
        std::vector<qint64> cli;
        for (int run = 0; run < Runs; ++run) {
            const WindowUnit unit = oneWindowUnit();
            window.push_back(unit.plugInToVerifiedMs);
            gaps.push_back(unit.longestTickGapMs);
            cli.push_back(oneCliSeriesUnit());
        }
        const qreal windowMs = median(window);
        const qreal cliMs = median(cli);
        const qint64 longestGap = *std::max_element(gaps.begin(), gaps.end());
        qInfo("series unit, plug-in to verified: window %.0f ms, nodeconfig-cli %.0f ms, "
              "ratio %.2f (goal <= %.2f)",
              windowMs, cliMs, windowMs / cliMs, WindowToCliGoal);
        qInfo("longest GUI thread block while a unit is written: %lld ms over %d runs "
              "(goal < %d ms)",
              static_cast<long long>(longestGap), Runs, LongestBlockGoalMs);
    }
};

QTEST_MAIN(BenchSeries)
#include "bench_series.moc"

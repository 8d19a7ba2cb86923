// The series window against nodeconfig-cli series, on the same simulated
// node that answers at once, with the transport's real pauses and the real
// clock: the median time from plug-in to "vérifié" of each, without a log
// and with a log of 2,000 rows on the local disk (the lock, the log read
// again and two rows put on the disk for each unit), the log's own part
// alone, and the longest time the window's GUI thread goes without handling
// events while a unit is written (measured as the largest gap between the
// ticks of a 5 ms timer).

#include "app/sharedstate.h"
#include "app/startup.h"
#include "cliseriesunit.h"
#include "series/serieslog.h"
#include "ui/mainwindow.h"
#include "ui/serieswindow.h"
#include "usb/hidpacing.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
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
// A log of a few days at a bench: each number reserved, verified, and some
// nodes plugged in again or failed.
constexpr int LogRows = 2000;
constexpr int LoggedNumbers = 200;
constexpr int LogCostGoalMs = 30;
constexpr int LogCostRuns = 20;

// Writes a log of LogRows rows that goes on at LoggedNumbers + 1.
void writeLongLog(const QString &path)
{
    QByteArray log = "\xEF\xBB\xBFnuméro;adresse;capacité;série;heure;résultat;unité\n";
    const QByteArray results[] = {"réservé", "vérifié", "déjà configuré", "réservé",
                                  "échec : écriture refusée par le node"};
    for (int row = 0; row < LogRows; ++row) {
        const int number = row % LoggedNumbers + 1;
        const QByteArray &result =
            row / LoggedNumbers % 2 == 0 ? results[row / LoggedNumbers / 2 % 2] : results[2 + row % 3];
        log += QByteArray::number(number) + ";2.0.0." + QByteArray::number(number + 14)
               + ";16;FAKE0001;2024-05-01T14:00:00;" + result + ";rideau 2X1\n";
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(log);
}

// What the log adds to a unit: the lock taken, the log read again and the
// reservation stored, then the result stored and the lock let go.
qint64 oneLogCost(const QString &path)
{
    writeLongLog(path);
    SeriesLog log;
    log.open(path);
    SeriesRow row;
    row.number = LoggedNumbers + 1;
    row.address = QStringLiteral("2.0.0.215");
    row.kind = UnitKind::Curtain;
    QElapsedTimer stopwatch;
    stopwatch.start();
    log.tryLock();
    log.reserve([] { return LoggedNumbers + 1; },
                [&row](int) {
                    row.result = SeriesResult::reserved();
                    return row;
                });
    row.result = SeriesResult::verified();
    log.append(row);
    log.unlock();
    return stopwatch.elapsed();
}

struct WindowUnit {
    qint64 plugInToVerifiedMs = -1;
    qint64 longestTickGapMs = 0;
};

WindowUnit oneWindowUnit(const QString &logPath)
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
    series->findChild<QLineEdit *>("logPath")->setText(logPath);
    if (logPath.isEmpty())
        series->findChild<QLineEdit *>("firstNumber")->setText("1");
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
    void windowAgainstCommandLine_data()
    {
        QTest::addColumn<bool>("logged");
        QTest::newRow("without a log") << false;
        QTest::newRow("with a log of 2000 rows") << true;
    }

    void windowAgainstCommandLine()
    {
        QFETCH(bool, logged);
        QTemporaryDir folder;
        const QString logPath = logged ? folder.filePath(QStringLiteral("série.csv")) : QString();
        std::vector<qint64> window;
        std::vector<qint64> gaps;
        std::vector<qint64> cli;
        for (int run = 0; run < Runs; ++run) {
            if (logged)
                writeLongLog(logPath);
            const WindowUnit unit = oneWindowUnit(logPath);
            window.push_back(unit.plugInToVerifiedMs);
            gaps.push_back(unit.longestTickGapMs);
            if (logged)
                writeLongLog(logPath);
            cli.push_back(oneCliSeriesUnit(logged ? QStringList{"--log", logPath}
                                                  : QStringList{"--from", "1"}));
        }
        const qreal windowMs = median(window);
        const qreal cliMs = median(cli);
        const qint64 longestGap = *std::max_element(gaps.begin(), gaps.end());
        qInfo("series unit %s, plug-in to verified: window %.0f ms, nodeconfig-cli %.0f ms, "
              "ratio %.2f (goal <= %.2f)",
              QTest::currentDataTag(), windowMs, cliMs, windowMs / cliMs, WindowToCliGoal);
        qInfo("longest GUI thread block while a unit is written: %lld ms over %d runs "
              "(goal < %d ms)",
              static_cast<long long>(longestGap), Runs, LongestBlockGoalMs);
    }

    void logCostPerUnit()
    {
        QTemporaryDir folder;
        const QString logPath = folder.filePath(QStringLiteral("série.csv"));
        std::vector<qint64> costs;
        for (int run = 0; run < LogCostRuns; ++run)
            costs.push_back(oneLogCost(logPath));
        qInfo("the log's part of a unit, %d rows on the local disk: median %.0f ms, longest %lld "
              "ms over %d runs (goal <= %d ms)",
              LogRows, median(costs), static_cast<long long>(*std::max_element(costs.begin(), costs.end())),
              LogCostRuns, LogCostGoalMs);
    }
};

QTEST_MAIN(BenchSeries)
#include "bench_series.moc"

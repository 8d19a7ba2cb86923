// The window's start-up against the same window bare: a plain QMainWindow
// with the same form (the same widgets at the same geometry) and nothing
// else, no validators, lists, font fitting or timers. Three figures, each
// the median ratio of 15 pairs, the order of the two windows alternating:
//
// - launch to painted: start-up as a user sees it. The benchmark launches
//   itself as a child (ChildVariable set to "tool|bare POINTSIZE") that
//   runs the program's own start-up (runMainWindow: the application, the
//   window, its fit to the screen, less nothing but the node search's
//   first tick) or makes the bare window, shows it and reports the moment
//   its first frame is painted; the time runs from the launch to that
//   report. The window finds its fitted font kept in the user's cache
//   (XDG_CACHE_HOME, a folder of the benchmark's) by the start before, as
//   at every start but the first on a machine. Goal: at most 1.05.
// - first start: the same with the cache emptied before each start, so
//   that the window searches for its font and keeps it.
// - construction only: in this process, once fonts, style and plugins are
//   loaded, the time to build, show and paint each window. Stricter, as it
//   leaves out all that both windows pay alike at every start; but the fonts
//   that the fitting tries stay loaded from one pair to the next.
//
// Run it with DejaVu Sans installed, offscreen or under Xvfb (Linux: the
// cache is set through XDG_CACHE_HOME).

#include "app/qtbridge.h"
#include "app/startup.h"
#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The pairs of each figure: 15 unless the command line says
// "--pairs N" (more on a busy machine).
constexpr int DefaultPairs = 15;
int pairs = DefaultPairs;
const QByteArray PairsOption = QByteArrayLiteral("--pairs");
constexpr qreal LaunchGoal = 1.05;
constexpr int ChildTimeoutMs = 60000;
constexpr qreal NsPerMs = 1e6;
const QString BenchFamily = QStringLiteral("DejaVu Sans");
const QList<qreal> PointSizes = {9, 10, 11};

// What a child is asked, in its environment, so that its command line is
// the program's own: the window's name and the point size.
const char *const ChildVariable = "NODECONFIG_BENCH_CHILD";
const QChar ChildSeparator(' ');
const QString CacheVariable = QStringLiteral("XDG_CACHE_HOME");
const QString FittedFontFiles = QStringLiteral("fitted-font-*");
// The child's one line of output: this mark, then the steady clock and the
// processor time the child has used, both in ns.
const QByteArray PaintedMark = QByteArrayLiteral("painted ");

enum class WindowKind { Bare, Tool };

const char *nameOf(WindowKind kind)
{
    return kind == WindowKind::Tool ? "tool" : "bare";
}

// The processor time this process has used, which the machine's other
// work slows down far less than it does the clock.
qint64 processorNs()
{
    return static_cast<qint64>(std::clock()) * static_cast<qint64>(NsPerMs) * 1000 / CLOCKS_PER_SEC;
}

// A clock that every process on the machine shares.
qint64 steadyNowNs()
{
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
}

void setBenchFont(qreal pointSize)
{
    QFont font(BenchFamily);
    font.setPointSizeF(pointSize);
    QApplication::setFont(font);
}

std::unique_ptr<QMainWindow> bareWindow()
{
    auto window = std::make_unique<QMainWindow>();
    Ui::MainWindowUi form;
    form.setupUi(window.get());
    return window;
}

std::unique_ptr<QMainWindow> toolWindow()
{
    return std::make_unique<MainWindow>();
}

std::unique_ptr<QMainWindow> buildWindow(WindowKind kind)
{
    return kind == WindowKind::Tool ? toolWindow() : bareWindow();
}

// One start's time, by the clock and in processor time, in ns.
struct Sample
{
    qint64 clockNs;
    qint64 processorNs;
};

// Builds and shows a window, and returns the time until it is painted.
Sample timeToPainted(WindowKind kind)
{
    QElapsedTimer stopwatch;
    stopwatch.start();
    const qint64 processorAtStart = processorNs();
    const std::unique_ptr<QMainWindow> window = buildWindow(kind);
    window->show();
    QApplication::processEvents();
    window->repaint();
    return {stopwatch.nsecsElapsed(), processorNs() - processorAtStart};
}

// Prints the steady clock once the window's first paint is over, and so its
// frame handed to the platform, and leaves the event loop. The window paints
// all its children and flushes the frame in one go; the queued call runs
// right after.
class PaintedReporter : public QObject
{
public:
    explicit PaintedReporter(QWidget *window) : QObject(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QMetaObject::invokeMethod(this, &PaintedReporter::report, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static void report()
    {
        std::printf("%s%lld %lld\n", PaintedMark.constData(), static_cast<long long>(steadyNowNs()),
                    static_cast<long long>(processorNs()));
        std::fflush(stdout);
        QCoreApplication::quit();
    }

    bool painted = false;
};

// What the child was asked to show; nullopt when this is not a child.
struct ChildRequest
{
    WindowKind kind;
    qreal pointSize;
};

std::optional<ChildRequest> childRequest()
{
    const QList<QByteArray> words = qgetenv(ChildVariable).split(ChildSeparator.toLatin1());
    if (words.size() != 2)
        return std::nullopt;
    const WindowKind kind = words.front() == nameOf(WindowKind::Tool) ? WindowKind::Tool
                                                                       : WindowKind::Bare;
    return ChildRequest{kind, words.back().toDouble()};
}

// The tool's child, whose start-up calls these as the program's would.
qreal childPointSize = 0;

void setChildFont()
{
    setBenchFont(childPointSize);
}

void reportToolPainted()
{
    for (QWidget *const widget : QApplication::topLevelWidgets()) {
        if (MainWindow *const window = qobject_cast<MainWindow *>(widget))
            new PaintedReporter(window);
    }
}

// The start of the program, up to a painted window: the tool's own
// start-up, or the bare window made and shown.
int runChild(int argc, char *argv[], const ChildRequest &request)
{
    if (request.kind == WindowKind::Tool) {
        childPointSize = request.pointSize;
        return runMainWindow(argc, argv, reportToolPainted, setChildFont);
    }
    enableHighDpiScaling();
    QApplication app(argc, argv);
    setBenchFont(request.pointSize);
    const std::unique_ptr<QMainWindow> window = buildWindow(request.kind);
    PaintedReporter reporter(window.get());
    window->show();
    return QApplication::exec();
}

// The time from launching a child to its window painted, and the processor
// time the child used until then; nullopt, with the child's errors shown,
// if it did not report. The tool's child keeps its fitted font in the cache
// folder given.
std::optional<Sample> launchToPainted(WindowKind kind, qreal pointSize, const QString &cacheFolder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(ChildVariable),
                       QString::fromLatin1(nameOf(kind)) + ChildSeparator + QString::number(pointSize));
    environment.insert(CacheVariable, cacheFolder);
    child.setProcessEnvironment(environment);
    const qint64 launchedAt = steadyNowNs();
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(ChildTimeoutMs) || child.exitCode() != 0) {
        qWarning("child %s: %s", nameOf(kind), child.readAllStandardError().constData());
        return std::nullopt;
    }
    const QByteArray output = child.readAllStandardOutput().trimmed();
    if (!output.startsWith(PaintedMark)) {
        qWarning("child %s printed: %s", nameOf(kind), output.constData());
        return std::nullopt;
    }
    const QList<QByteArray> times = output.mid(PaintedMark.size()).split(' ');
    if (times.size() != 2) {
        qWarning("child %s printed: %s", nameOf(kind), output.constData());
        return std::nullopt;
    }
    return Sample{times.front().toLongLong() - launchedAt, times.back().toLongLong()};
}

qreal median(std::vector<qreal> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The times of each pair, the tool's and the bare window's.
struct PairTimes
{
    std::vector<qreal> toolMs;
    std::vector<qreal> bareMs;
    std::vector<qreal> ratios;
    std::vector<qreal> processorRatios;
};

// Measures Pairs pairs, bare first in even pairs and tool first in odd ones;
// nullopt if a measure failed.
template <typename Measure>
std::optional<PairTimes> measurePairs(Measure measure)
{
    PairTimes times;
    for (int pair = 0; pair < pairs; ++pair) {
        const bool bareFirst = pair % 2 == 0;
        const std::array<WindowKind, 2> order = {bareFirst ? WindowKind::Bare : WindowKind::Tool,
                                                 bareFirst ? WindowKind::Tool : WindowKind::Bare};
        Sample tool{};
        Sample bare{};
        for (const WindowKind kind : order) {
            const std::optional<Sample> measured = measure(kind);
            if (!measured)
                return std::nullopt;
            (kind == WindowKind::Tool ? tool : bare) = *measured;
        }
        times.toolMs.push_back(static_cast<qreal>(tool.clockNs) / NsPerMs);
        times.bareMs.push_back(static_cast<qreal>(bare.clockNs) / NsPerMs);
        times.ratios.push_back(static_cast<qreal>(tool.clockNs) / static_cast<qreal>(bare.clockNs));
        times.processorRatios.push_back(static_cast<qreal>(tool.processorNs)
                                        / static_cast<qreal>(bare.processorNs));
    }
    return times;
}

// The median ratio, the medians of each window and, as the noise, the range
// of the middle half of the ratios; then the median ratio of the processor
// times, steadier on a busy machine.
void printFigures(const char *figure, qreal pointSize, const PairTimes &times, const char *goal)
{
    std::vector<qreal> sorted = times.ratios;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t quarter = sorted.size() / 4;
    qInfo("%s %g pt, %s, %d pairs: window %.2f ms, bare %.2f ms, ratio %.3f (middle half "
          "%.3f..%.3f)%s; processor time ratio %.3f",
          qPrintable(BenchFamily), pointSize, figure, pairs, median(times.toolMs),
          median(times.bareMs), median(times.ratios), sorted[quarter],
          sorted[sorted.size() - 1 - quarter], goal, median(times.processorRatios));
}

void addPointSizes()
{
    QTest::addColumn<qreal>("pointSize");
    for (const qreal pointSize : PointSizes)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(BenchFamily).arg(pointSize)))
            << pointSize;
}

} // namespace

class BenchStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A first start of each kind brings the program and its fonts into
        // the disk cache, and a first window of each kind here loads fonts,
        // style and plugins; the pairs then measure what every start pays.
        QVERIFY(cacheFolders.isValid());
        for (const WindowKind kind : {WindowKind::Bare, WindowKind::Tool}) {
            QVERIFY(launchToPainted(kind, PointSizes.first(), cacheFolder(PointSizes.first())));
            timeToPainted(kind);
        }
    }

    void launchToPaintedAgainstBare_data()
    {
        addPointSizes();
    }

    void launchToPaintedAgainstBare()
    {
        QFETCH(qreal, pointSize);
        const QString cache = cacheFolder(pointSize);
        // The start that finds the font and keeps it.
        QVERIFY(launchToPainted(WindowKind::Tool, pointSize, cache));
        QVERIFY(holdsFittedFont(cache));
        const std::optional<PairTimes> times = measurePairs(
            [&](WindowKind kind) { return launchToPainted(kind, pointSize, cache); });
        QVERIFY(times);
        const QByteArray goal = QStringLiteral(" (goal <= %1)").arg(LaunchGoal).toLatin1();
        printFigures("launch to painted", pointSize, *times, goal.constData());
    }

    void firstStartAgainstBare_data()
    {
        addPointSizes();
    }

    void firstStartAgainstBare()
    {
        QFETCH(qreal, pointSize);
        const QString cache = cacheFolder(pointSize);
        const std::optional<PairTimes> times = measurePairs([&](WindowKind kind) {
            QDir(cache).removeRecursively();
            return launchToPainted(kind, pointSize, cache);
        });
        QVERIFY(times);
        printFigures("first start, font searched", pointSize, *times, "");
    }

    void constructionOnlyAgainstBare_data()
    {
        addPointSizes();
    }

    void constructionOnlyAgainstBare()
    {
        QFETCH(qreal, pointSize);
        setBenchFont(pointSize);
        const std::optional<PairTimes> times = measurePairs(
            [](WindowKind kind) { return std::optional<Sample>(timeToPainted(kind)); });
        QVERIFY(times);
        printFigures("construction only, in process", pointSize, *times, "");
    }

private:
    // The user's cache folder of the tool's children at this point size.
    QString cacheFolder(qreal pointSize) const
    {
        return cacheFolders.filePath(QString::number(pointSize));
    }

    static bool holdsFittedFont(const QString &cache)
    {
        return QDirIterator(cache, {FittedFontFiles}, QDir::Files, QDirIterator::Subdirectories)
            .hasNext();
    }

    QTemporaryDir cacheFolders;
};

int main(int argc, char *argv[])
{
    if (const std::optional<ChildRequest> request = childRequest())
        return runChild(argc, argv, *request);
    std::vector<char *> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (PairsOption == argv[i] && i + 1 < argc)
            pairs = std::max(1, QByteArray(argv[++i]).toInt());
        else
            rest.push_back(argv[i]);
    }
    int restCount = static_cast<int>(rest.size());
    QApplication app(restCount, rest.data());
    // As QTEST_MAIN does for a widgets test.
    QApplication::setAttribute(Qt::AA_Use96Dpi, true);
    BenchStartup bench;
    return QTest::qExec(&bench, restCount, rest.data());
}

#include "bench_startup.moc"

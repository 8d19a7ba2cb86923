// The window's start-up against the same window bare: a plain QMainWindow
// with the same form (the same widgets at the same geometry) and nothing
// else, no validators, lists, font fitting or timers. Each pair builds,
// shows and paints both windows once; the figure is the median ratio of the
// pairs. Run it with DejaVu Sans installed, offscreen or under Xvfb.

#include "ui/mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int Pairs = 15;
const QString BenchFamily = QStringLiteral("DejaVu Sans");

// Builds and shows a window, and returns the nanoseconds until it is painted.
template <typename Build>
qint64 timeToPainted(Build build)
{
    QElapsedTimer stopwatch;
    stopwatch.start();
    const std::unique_ptr<QMainWindow> window = build();
    window->show();
    QApplication::processEvents();
    window->repaint();
    const qint64 elapsed = stopwatch.nsecsElapsed();
    return elapsed;
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

qreal median(std::vector<qreal> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

class BenchStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A first window of each kind loads fonts, style and plugins; the
        // pairs then measure what every start pays.
        timeToPainted(bareWindow);
        timeToPainted(toolWindow);
    }

    void windowAgainstBare_data()
    {
        QTest::addColumn<qreal>("pointSize");
        QTest::newRow("DejaVu Sans 9") << qreal(9);
        QTest::newRow("DejaVu Sans 10") << qreal(10);
        QTest::newRow("DejaVu Sans 11") << qreal(11);
    }

    // Goal: a ratio of at most 1.05.
    void windowAgainstBare()
    {
        QFETCH(qreal, pointSize);
        QFont font(BenchFamily);
        font.setPointSizeF(pointSize);
        QApplication::setFont(font);

        std::vector<qreal> ratios;
        std::vector<qreal> windowMs;
        for (int pair = 0; pair < Pairs; ++pair) {
            const qint64 bare = timeToPainted(bareWindow);
            const qint64 tool = timeToPainted(toolWindow);
            ratios.push_back(static_cast<qreal>(tool) / static_cast<qreal>(bare));
            windowMs.push_back(static_cast<qreal>(tool) / 1e6);
        }
        const qreal ratio = median(ratios);
        qInfo("%s %g pt: window start-up %.1f ms, %.3f times the bare window (goal <= 1.05)",
              qPrintable(BenchFamily), pointSize, median(windowMs), ratio);
    }
};

QTEST_MAIN(BenchStartup)
#include "bench_startup.moc"

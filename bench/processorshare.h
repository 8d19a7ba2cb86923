#pragma once

// The processor time of the benchmark's own process, shared by the
// benchmarks that measure what an open window or a running discovery costs.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <ctime>

inline double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Runs the event loop for `ms` and gives the share of one core the process
// took meanwhile, in percent.
inline double cpuPercentOver(int ms)
{
    constexpr double Percent = 100.0;
    constexpr double MsPerSecond = 1000.0;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // An event loop that sleeps between events (QTest::qWait wakes every
    // few milliseconds, which would be measured too).
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return Percent * (cpuSeconds() - cpuBefore) * MsPerSecond / double(wall.elapsed());
}

#pragma once

// One unit of nodeconfig-cli series over a simulated node that answers at
// once, with the transport's real pauses and the real clock: the time from
// plug-in to "vérifié". Shared by the benchmarks that compare with it.

#include "cli/cliapp.h"
#include "link/lineoutput.h"
#include "link/systemclock.h"
#include "sim/fakehid.h"

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

const QString VerifiedMark = QStringLiteral(": vérifié");

// The real clock; the first sleep (the series waiting for a node) plugs the
// node in and starts the stopwatch, before the poll's own wait.
class PluggingClock : public SystemClock
{
public:
    void sleepMs(int milliseconds) override
    {
        if (onFirstSleep) {
            onFirstSleep();
            onFirstSleep = nullptr;
        }
        SystemClock::sleepMs(milliseconds);
    }

    std::function<void()> onFirstSleep;
};

class SilentOutput : public LineOutput
{
public:
    void print(const QString &) override {}
    void note(const QString &) override {}
};

// Keeps nothing; notes when the unit is verified.
class StopwatchOutput : public SilentOutput
{
public:
    explicit StopwatchOutput(const QElapsedTimer &stopwatch) : stopwatch(stopwatch) {}
    void print(const QString &line) override
    {
        if (line.endsWith(VerifiedMark))
            verifiedAtMs = stopwatch.elapsed();
    }

    const QElapsedTimer &stopwatch;
    qint64 verifiedAtMs = -1;
};

inline qreal median(std::vector<qint64> values)
{
    std::sort(values.begin(), values.end());
    return static_cast<qreal>(values[values.size() / 2]);
}

// With `arguments` after the series' own (a log, say).
inline qint64 oneCliSeriesUnit(const QStringList &arguments = {})
{
    fakehid::reset();
    QElapsedTimer stopwatch;
    PluggingClock clock;
    clock.onFirstSleep = [&stopwatch] {
        fakehid::plug();
        stopwatch.start();
    };
    StopwatchOutput output(stopwatch);
    CliApp(clock, output).run(QStringList{"series", "curtain", "--count", "1"} + arguments);
    return output.verifiedAtMs;
}


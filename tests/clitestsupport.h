#pragma once

// What the command-line tool's tests share: a clock that does not wait, an
// output that keeps the lines, and a run of the tool over the simulated node.

#include "cli/cliapp.h"
#include "link/lineoutput.h"
#include "link/clock.h"
#include "link/stoprequest.h"
#include "series/serieslog.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "usb/hidtransport.h"

#include <QStringList>

#include <functional>
#include <vector>

// Time passes only when the tool sleeps; each sleep may run the test's
// next step (plug a node in, pull it out, ask to stop).
class FakeClock : public Clock
{
public:
    qint64 elapsedMs() const override { return now; }
    void sleepMs(int milliseconds) override
    {
        now += milliseconds;
        ++sleeps;
        if (onSleep)
            onSleep();
    }
    QDateTime wallTime() const override
    {
        return QDateTime(QDate(2024, 5, 1), QTime(14, 0)).addMSecs(now);
    }

    qint64 now = 0;
    int sleeps = 0;
    std::function<void()> onSleep;
};

class CapturedLines : public LineOutput
{
public:
    void print(const QString &line) override { printed << line.split('\n'); }
    void note(const QString &line) override { noted << line.split('\n'); }

    QString all() const { return (printed + noted).join('\n'); }

    QStringList printed;
    QStringList noted;
};

struct CliRun {
    int status = -1;
    CapturedLines lines;
};

inline CliRun runCli(const QStringList &arguments, FakeClock &clock)
{
    CliRun run;
    run.status = CliApp(clock, run.lines).run(arguments);
    return run;
}

inline CliRun runCli(const QStringList &arguments)
{
    FakeClock clock;
    return runCli(arguments, clock);
}

// Command-1 reports a simulated node received.
inline int writesTo(fakehid::DeviceId device)
{
    int writes = 0;
    for (const NodeReport &report : fakehid::node(device).receivedReports())
        writes += report[Report::Command] == cmdWriteConfig ? 1 : 0;
    return writes;
}

inline fakehid::DeviceInfo withSerial(const wchar_t *serial)
{
    fakehid::DeviceInfo info;
    info.serialNumber = serial;
    return info;
}

// The transport's pauses since the last reset, in milliseconds: counted
// instead of slept, so that the tests do not wait for them.
inline std::vector<int> &transportPauses()
{
    static std::vector<int> pauses;
    return pauses;
}

// A series log's rows after its first `before`, as "number result" (the
// result's first word); the reason when the file is no series log.
inline QStringList logRowsAfter(const QString &path, std::size_t before)
{
    std::vector<SeriesRow> rows;
    const QString failure = SeriesLog::read(path, rows);
    if (!failure.isEmpty())
        return {failure};
    QStringList read;
    for (std::size_t index = before; index < rows.size(); ++index)
        read << QString::number(rows[index].number) + ' ' + rows[index].result.section(' ', 0, 0);
    return read;
}

// Puts everything back as at start, the stop flag included.
inline void resetCliState()
{
    resetSharedState();
    clearStopRequest();
    transportPauses().clear();
    // A pause of no length (a series paces itself) is no pause.
    setHidPause([](int milliseconds) {
        if (milliseconds > 0)
            transportPauses().push_back(milliseconds);
    });
}

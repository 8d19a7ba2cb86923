#pragma once

#include "link/clock.h"
#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "link/nodelink.h"
#include "link/readretries.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "series/serieslog.h"

#include <functional>
#include <optional>
#include <vector>

struct SeriesPlan {
    UnitKind kind = UnitKind::Curtain;
    int from = 1;
    int size = 0;             // curtain size index
    int count = 0;            // units to set up; 0: until stopped
    qint64 retryWindowMs = 0; // for each node's reads
    // Whether a number the log holds as verified may be given again.
    bool reuseLogged = false;
};

// A unit's preset a node holds, whoever wrote it.
struct HeldUnit {
    UnitKind kind = UnitKind::Curtain;
    int size = 0;
    int number = 0;
};

// Sets up one unit after another, by plug-in alone: waits for a node,
// writes unit N, verifies it, waits for it to be unplugged, goes on with
// N+1. A node that holds exactly a configuration this run wrote is not
// written again, whatever its serial number; a node that holds another
// unit's preset is named and left as it is; a failed write or verification
// keeps N. With a log, the numbers it holds as verified are not given
// again unless the plan says so.
//
// The run goes forward by polls, so that the console's loop and the
// window's timers drive the same rules: each poll does at most one exchange
// with a node, then says how long to wait before the next: a poll interval
// while it waits for a node to come or go, a pause within a unit (the
// node's store pause after the write, a read tried again). A unit being
// written is never cut short: a stop is seen only between units.
class SeriesRun
{
public:
    // The node's store pause after a configuration write.
    static constexpr int StorePauseMs = 500;

    enum class Step { Wait, Pause, Done };
    enum class Attempt { Verified, AlreadyDone, OtherUnit, Failed };
    struct AttemptRecord {
        SeriesRow row;
        Attempt attempt;
    };

    SeriesRun(const SeriesPlan &plan, NodeFinder &finder, Clock &clock, LineOutput &output,
              SeriesLog &log);

    // Does the next exchange; Wait: poll again after NodeFinder::PollIntervalMs;
    // Pause: poll again after pauseMs(); Done: the run is over and its
    // summary said.
    Step poll();
    int pauseMs() const { return pause; }
    // Polls until --count units are done or a stop is requested (a signal,
    // or stop()): sleeping on the clock between polls, pausing as the
    // transport does within a unit.
    void run();
    // Ends the run at the next poll, or once the unit being written is done.
    void stop() { stopAsked = true; }
    // Whether a unit is being read, written or verified.
    bool unitUnderWay() const;
    // Called with each configuration read from a node.
    void setReadObserver(std::function<void(const NodeReport &)> observer)
    {
        readObserver = std::move(observer);
    }

    bool isDone() const { return phase == Phase::Done; }
    // A failure that no later unit made good.
    bool endedOnFailure() const { return failurePending; }
    // The number the next node gets.
    int nextNumber() const { return number; }
    int verifiedCount() const { return static_cast<int>(done.size()); }
    int failureCount() const { return failures; }
    int alreadyDoneTotal() const { return alreadyDoneCount; }
    // Every attempt so far, oldest first.
    const std::vector<AttemptRecord> &attempts() const { return history; }
    // "rideau 3", or "Rideau 3" at the start of a line.
    QString unitName(int unit, bool capital = false) const;

    // The number after the highest the rows hold as verified, if any.
    static std::optional<int> numberAfter(const std::vector<SeriesRow> &rows);
    // The last row that holds `number` as verified, if any.
    static const SeriesRow *verifiedRow(const std::vector<SeriesRow> &rows, int number);
    // The unit preset a configuration holds, of any kind and number.
    static std::optional<HeldUnit> heldUnit(const NodeReport &configuration);

private:
    enum class Phase {
        StartUnit,
        WaitingForNode,
        Reading,
        Storing,
        ReadingBack,
        WaitingForUnplug,
        Done
    };
    struct DoneUnit {
        int number;
        QString serial;
        NodeReport written;
    };

    // One pass of the phase: nullopt to go on at once with the next phase.
    std::optional<Step> advance();
    std::optional<Step> startUnit();
    std::optional<Step> lookForNode();
    std::optional<Step> readNode();
    std::optional<Step> writeUnit(const NodeReport &current);
    std::optional<Step> readBack();
    std::optional<Step> lookForUnplug();
    // A pause within the unit, before the phase goes on.
    Step pauseFor(int milliseconds);
    // The attempt is over: the node is to be unplugged.
    std::optional<Step> unitEnded();
    Step finish();
    bool stopping() const;
    NodeWait nodeWait() const;
    // The number the log already holds as verified, said once.
    bool loggedBefore(int unit);

    void verified(const NodeReport &readBack);
    void alreadyDone(const DoneUnit &unit, const NodeReport &current);
    void otherUnit(const HeldUnit &held, const NodeReport &current);
    // A failed attempt; `seen` is the node's configuration when it was read.
    void failed(const QString &reason, const std::optional<NodeReport> &seen);
    // The unit of this run whose configuration the node holds, if any.
    const DoneUnit *findDone(const NodeReport &current) const;
    // Says so when the node reports the serial number of an earlier unit.
    void noteSharedSerial(const PluggedNode &node);
    NodeReport preset(const NodeReport &current) const;
    void record(int unit, const std::optional<NodeReport> &seen, const QString &result,
                Attempt attempt);
    bool finished() const;
    void printSummary();

    SeriesPlan plan;
    NodeFinder &finder;
    Clock &clock;
    LineOutput &output;
    SeriesLog &log;
    Phase phase = Phase::StartUnit;
    PluggedNode unitNode; // the node of the last unit, until it is unplugged
    std::optional<NodeLink> link;
    std::optional<ReadRetries> retries;
    NodeReport seen{};    // the node's configuration as first read
    NodeReport written{}; // the unit's configuration, once written
    int pause = 0;
    int number;
    int failures = 0;
    int alreadyDoneCount = 0;
    bool failurePending = false;
    bool stopAsked = false;
    std::vector<DoneUnit> done;
    std::vector<AttemptRecord> history;
    std::function<void(const NodeReport &)> readObserver;
};

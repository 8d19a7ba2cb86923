#pragma once

#include "link/clock.h"
#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "series/serieslog.h"

#include <optional>
#include <vector>

struct SeriesPlan {
    UnitKind kind = UnitKind::Curtain;
    int from = 1;
    int size = 0;            // curtain size index
    int count = 0;           // units to set up; 0: until stopped
    qint64 retryWindowMs = 0; // for each node's reads
};

// Sets up one unit after another, by plug-in alone: waits for a node,
// writes unit N, verifies it, waits for it to be unplugged, goes on with
// N+1. A node that holds exactly a configuration this run wrote is not
// written again, whatever its serial number; a failed write or verification
// keeps N.
//
// The run goes forward by polls, so that the console's loop and the
// window's timer drive the same rules: each poll looks at the plugged nodes
// and does what follows, a whole unit at once, then says whether to look
// again after a pause. A unit being written is never cut short: a stop is
// seen only between polls.
class SeriesRun
{
public:
    enum class Step { Wait, Done };
    enum class Attempt { Verified, AlreadyDone, Failed };
    struct AttemptRecord {
        SeriesRow row;
        Attempt attempt;
    };

    SeriesRun(const SeriesPlan &plan, NodeFinder &finder, Clock &clock, LineOutput &output,
              SeriesLog &log);

    // Looks at the nodes and acts on what it finds; Wait: poll again after
    // NodeFinder::PollIntervalMs; Done: the run is over and its summary said.
    Step poll();
    // Polls, sleeping between polls on the clock, until --count units are
    // done or a stop is requested (a signal, or stop()).
    void run();
    // Ends the run at the next poll, or once the unit being written is done.
    void stop() { stopAsked = true; }

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

private:
    enum class Phase { StartUnit, WaitingForNode, WaitingForUnplug, Done };
    struct DoneUnit {
        int number;
        QString serial;
        NodeReport written;
    };

    // One pass of the phase: nullopt to go on at once with the next phase.
    std::optional<Step> advance();
    std::optional<Step> startUnit();
    std::optional<Step> lookForNode();
    std::optional<Step> lookForUnplug();
    Step finish();
    bool stopping() const;
    NodeWait nodeWait() const;

    Attempt handle(const PluggedNode &node);
    Attempt alreadyDone(const PluggedNode &node, const DoneUnit &unit, const NodeReport &current);
    // A failed attempt; `seen` is the node's configuration when it was read.
    Attempt failed(const PluggedNode &node, const QString &reason,
                   const std::optional<NodeReport> &seen);
    // The unit of this run whose configuration the node holds, if any.
    const DoneUnit *findDone(const NodeReport &current) const;
    // Says so when the node reports the serial number of an earlier unit.
    void noteSharedSerial(const PluggedNode &node);
    NodeReport preset(const NodeReport &current) const;
    void record(const PluggedNode &node, int unit, const std::optional<NodeReport> &seen,
                const QString &result, Attempt attempt);
    bool finished() const;
    void printSummary();

    SeriesPlan plan;
    NodeFinder &finder;
    Clock &clock;
    LineOutput &output;
    SeriesLog &log;
    Phase phase = Phase::StartUnit;
    PluggedNode unitNode; // the node of the last unit, until it is unplugged
    int number;
    int failures = 0;
    int alreadyDoneCount = 0;
    bool failurePending = false;
    bool stopAsked = false;
    std::vector<DoneUnit> done;
    std::vector<AttemptRecord> history;
};

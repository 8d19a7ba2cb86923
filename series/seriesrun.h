#pragma once

#include "link/clock.h"
#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "link/nodelink.h"
#include "link/readretries.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "series/heldnumbers.h"
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
    // Whether `from`, which the log holds, may be given again: that one
    // number alone.
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
// keeps N.
//
// With a log, a number is reserved before a node is written: under the
// log's lock, the run reads the log again, takes the next number no row
// holds (other programs may share the log), and stores a row saying that
// number is being written; only then is the node written. Its result row
// is stored before the unit is said verified, and the lock let go: it is
// held for one unit at most. A row that cannot be stored ends the run:
// nothing is written that the log does not remember. A number the log held
// when the run began ends the run before it is given again, unless the
// plan reuses that one number.
//
// The run goes forward by polls, so that the console's loop and the
// window's timers drive the same rules: each poll does at most one exchange
// with a node, or one try at the log's lock, then says how long to wait
// before the next: a poll interval while it waits for a node to come or go,
// a pause within a unit (the node's store pause after the write, a read
// tried again, the log's lock tried again). A unit under way is never cut
// short: a stop is seen only between units.
class SeriesRun
{
public:
    // The node's store pause after a configuration write.
    static constexpr int StorePauseMs = 500;

    enum class Step { Wait, Pause, Done };
    // NotLogged: written and verified, but its result row could not be
    // stored (its number stays reserved in the log).
    enum class Attempt { Verified, AlreadyDone, OtherUnit, Failed, NotLogged };
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
    // The run ended because a row could not be stored in the log.
    bool endedOnLogFailure() const { return logFailed; }
    // The number the next node gets.
    int nextNumber() const { return number; }
    int verifiedCount() const { return static_cast<int>(done.size()); }
    int failureCount() const { return failures; }
    int alreadyDoneTotal() const { return alreadyDoneCount; }
    // Every attempt so far, oldest first.
    const std::vector<AttemptRecord> &attempts() const { return history; }
    // "rideau 3", or "Rideau 3" at the start of a line.
    QString unitName(int unit, bool capital = false) const;

    // The unit preset a configuration holds, of any kind and number.
    static std::optional<HeldUnit> heldUnit(const NodeReport &configuration);

private:
    enum class Phase {
        StartUnit,
        WaitingForNode,
        Reading,
        Reserving,
        Storing,
        ReadingBack,
        Recording,
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
    std::optional<Step> writeUnit();
    std::optional<Step> readBack();
    std::optional<Step> lookForUnplug();
    // A pause within the unit, before the phase goes on.
    Step pauseFor(int milliseconds);
    // The attempt is over: the node is to be unplugged.
    std::optional<Step> unitEnded();
    Step finish();
    bool stopping() const;
    NodeWait nodeWait() const;
    // The number the log held when the run began, said once.
    bool loggedBefore(int unit);
    // The unfinished reservations the log held when the run began, said once.
    void noteUnfinished();
    // One try at the log's lock: nullopt once held, else the step to take.
    std::optional<Step> waitForLock();
    // Under the lock, the log read again: the number this node gets, or
    // nullopt when the run is to end (said).
    std::optional<int> takeNumber();
    std::optional<Step> reserve();
    // The row of the attempt, stored before its line is said.
    std::optional<Step> storeRecord();
    // A row could not be stored: said, with what it means for the unit.
    Step logFailure(const QString &why);

    std::optional<Step> verified(const NodeReport &readBack);
    std::optional<Step> alreadyDone(const DoneUnit &unit, const NodeReport &current);
    std::optional<Step> otherUnit(const HeldUnit &held, const NodeReport &current);
    // A failed attempt; `seen` is the node's configuration when it was read.
    std::optional<Step> failed(const QString &reason, const std::optional<NodeReport> &seen);
    // The unit of this run whose configuration the node holds, if any.
    const DoneUnit *findDone(const NodeReport &current) const;
    // Says so when the node reports the serial number of an earlier unit.
    void noteSharedSerial(const PluggedNode &node);
    NodeReport preset(const NodeReport &current) const;
    SeriesRow rowOf(int unit, const QString &address, const std::optional<NodeReport> &current,
                    const QString &result) const;
    SeriesRow rowFor(int unit, const std::optional<NodeReport> &seen, const QString &result,
                     Attempt attempt) const;
    // The attempt's row is stored next; once it is, its line is said and
    // the attempt counted.
    std::optional<Step> record(const SeriesRow &row, Attempt attempt, const QString &line);
    // The attempt, counted once its row is stored.
    void count(const SeriesRow &row, Attempt attempt);
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
    // The attempt whose row is being stored, and the line said after.
    struct Record {
        SeriesRow row;
        Attempt attempt = Attempt::Failed;
        QString line;
    };
    Record pending;
    int lockTries = 0;
    // The numbers the log held when the run began.
    HeldNumbers heldAtStart;
    std::optional<int> reuse; // the one held number this run may give again
    bool unfinishedSaid = false;
    bool logFailed = false;
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

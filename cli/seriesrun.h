#pragma once

#include "cli/clioutput.h"
#include "cli/clock.h"
#include "cli/nodefinder.h"
#include "cli/serieslog.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"

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
class SeriesRun
{
public:
    SeriesRun(const SeriesPlan &plan, NodeFinder &finder, Clock &clock, CliOutput &output,
              SeriesLog &log);

    // Runs until --count units are done or a stop is requested; returns the
    // exit status.
    int run();

private:
    struct DoneUnit {
        int number;
        QString serial;
        NodeReport written;
    };
    enum class Attempt { Verified, AlreadyDone, Failed };

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
                const QString &result);
    bool finished() const;
    // "rideau 3", or "Rideau 3" at the start of a line.
    QString unitName(int unit, bool capital = false) const;
    void printSummary();

    SeriesPlan plan;
    NodeFinder &finder;
    Clock &clock;
    CliOutput &output;
    SeriesLog &log;
    int number;
    int failures = 0;
    int alreadyDoneCount = 0;
    bool failurePending = false;
    std::vector<DoneUnit> done;
};

#pragma once

#include "net/seennode.h"
#include "protocol/validation.h"
#include "series/serieslog.h"

#include <QString>

#include <optional>
#include <vector>

// One unit as the series log holds it (its last verified row).
struct LoggedUnit {
    int number = 0;
    QString address;                // "2.0.0.15"
    std::optional<UnitKind> kind;   // not known in a log written without it
    int size = 0;                   // curtain size index (CurtainSize)
};

// How one unit of the log looks on the network.
struct UnitCheck {
    LoggedUnit unit;
    bool seen = false;              // a node that is not gone answers at its address
    bool duplicate = false;         // more than one node answers there
    std::vector<int> expected;      // the universe numbers its preset patches (from 1)
    std::vector<int> reported;      // the port-addresses the node reports
    bool kindKnown = false;         // false: checked for its address only
    bool universesMatch = true;     // reported is expected counted from 0 or from 1
};

struct SeriesCheck {
    std::vector<UnitCheck> units;        // in the log's order of numbers
    std::vector<SeenNode> extraNodes;    // answering at no address of the log, one per reply
    // Every unit there, alone at its address, with its universes.
    bool allConsistent() const;
    std::vector<int> missingNumbers() const;
    std::vector<QString> duplicateAddresses() const;
    // The nodes among extraNodes: a node's several replies (one address,
    // one MAC) count once.
    int extraNodeCount() const;
};

// The universe numbers (1..255, patch plus offset) that the preset of a unit
// of this kind and size patches, in patch order.
std::vector<int> presetUniverses(UnitKind kind, int size);

// The units of a log: for each number, its last verified row, in order of
// numbers.
std::vector<LoggedUnit> loggedUnits(const std::vector<SeriesRow> &rows);

// Checks the units of a log against the nodes seen. Universes are flagged
// only when the reported port-addresses match the preset's numbers neither
// as they are (counting from 0) nor minus one (counting from 1): which one a
// node uses is not known before a real node is seen.
SeriesCheck checkSeries(const std::vector<LoggedUnit> &units, const std::vector<SeenNode> &nodes);

#pragma once

#include "net/nodeconflicts.h"
#include "net/seennode.h"

#include <QString>

#include <vector>

// One row of the network window: one node, which may answer with several
// replies (one per group of four ports, bind index 1, 2...). Replies from
// one address join a row when they carry its MAC and a bind index it does
// not hold yet; two nodes at one address thus stay two rows.
struct NodeRow {
    std::vector<std::size_t> entries; // indices into the discovery's list
    QHostAddress address;
    std::vector<int> universes;       // every port-address, in reply order
    qint64 lastSeenMs = 0;
    bool gone = true;                 // every reply of the node is gone
    QString conflict;                 // the reason, empty when none

    // Selection survives a refresh by this key.
    QString key() const;
};

std::vector<NodeRow> nodeRows(const std::vector<SeenNode> &nodes,
                              const std::vector<NodeConflict> &conflicts);

// The universes as the console shows them (net/nodetext.h), consecutive
// ones as a range so that a node's sixteen fit a cell:
// "4–19 [0.0.4–0.1.3], 32 [0.2.0]".
QString universeRangesText(const std::vector<int> &portAddresses);

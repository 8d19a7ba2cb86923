#pragma once

#include "net/nodeconflicts.h"
#include "net/seennode.h"

#include <QString>

#include <vector>

// One row of the network window: one node, which may answer with several
// replies (one per group of four ports, bind index 1, 2...): the entries at
// one address with one MAC, or without one. An address in conflict is one
// row, however many nodes answer there.
struct NodeRow {
    std::vector<std::size_t> entries; // indices into the discovery's list, by bind index
    QHostAddress address;
    std::vector<int> universes;       // every port-address, in reply order (once each in a conflict)
    qint64 lastSeenMs = 0;
    bool gone = true;                 // every reply of the node is gone
    QString conflict;                 // the reason, empty when none
    std::size_t macCount = 0;         // a conflict's MACs
    // What the row stands for, the same from one list to the next while
    // that node answers: its address and MAC, or its address in conflict.
    QString key;
};

// The rows in the order their nodes were first heard; linear in the number
// of entries.
std::vector<NodeRow> nodeRows(const std::vector<SeenNode> &nodes,
                              const std::vector<NodeConflict> &conflicts);

// The universes as the console shows them (net/nodetext.h), consecutive
// ones as a range so that a node's sixteen fit a cell:
// "4–19 [0.0.4–0.1.3], 32 [0.2.0]".
QString universeRangesText(const std::vector<int> &portAddresses);

#pragma once

#include "net/seennode.h"

#include <QString>
#include <QStringList>

#include <vector>

// Nodes that answer at one address and cannot be one node: two different
// non-zero MACs, two entries for the same bind index (a node with a MAC and
// one without), or replies without a MAC that go back and forth between two
// setups. The several replies of one node (bind indices 1, 2... with one MAC
// or none) are not a conflict, nor is a universe that several nodes share:
// every curtain takes the same universes at its own address. Entries marked
// gone are left out.
//
// One conflict per address, however many nodes answer there: its reason
// names the count and the first few MACs, so that a flood of forged replies
// still makes one line.
struct NodeConflict {
    QHostAddress address;
    std::vector<std::size_t> entries;    // indices into the table, in table order
    std::vector<std::size_t> macEntries; // for each MAC among them, the first entry with it
    QString reason;                      // in French, one sentence

    // Every MAC among its entries, in table order.
    QStringList macs(const std::vector<SeenNode> &nodes) const;
};

// How many MACs a conflict's reason names before "et N autres".
constexpr int ConflictMacsNamed = 4;

std::vector<NodeConflict> findConflicts(const std::vector<SeenNode> &nodes);

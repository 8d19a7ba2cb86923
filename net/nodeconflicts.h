#pragma once

#include "net/seennode.h"

#include <QString>

#include <vector>

// Nodes that answer at one address and cannot be one node: two different
// non-zero MACs, or two entries for the same bind index (two nodes that
// differ otherwise). The several replies of one node (bind indices 1, 2...
// with one MAC or none) are not a conflict, nor is a universe that several
// nodes share: every curtain takes the same universes at its own address.
// Entries marked gone are left out.
struct NodeConflict {
    QHostAddress address;
    std::vector<std::size_t> entries; // indices into the table, in table order
    QString reason;                   // in French, one sentence
};

std::vector<NodeConflict> findConflicts(const std::vector<SeenNode> &nodes);

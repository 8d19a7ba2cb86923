#pragma once

#include "net/seennode.h"

#include <vector>

// The nodes heard so far. One entry per address, bind index and identity:
// the MAC when the node gives one, otherwise what the reply says about the
// node (names, firmware, ports), so that two nodes answering at one address
// stay two entries while the repeated replies of one node update its own.
// Pure: the caller gives the time.
class NodeTable
{
public:
    explicit NodeTable(qint64 goneAfterMs) : goneAfterMs(goneAfterMs) {}

    // Records a reply heard at `nowMs`. True when the list changed (a new
    // entry, a changed reply or a node back from gone), not for a reply
    // that only refreshes the time.
    bool record(const QHostAddress &from, const ArtNet::PollReply &reply, qint64 nowMs);
    // Marks as gone every entry silent for longer than goneAfterMs. True when
    // one changed.
    bool expire(qint64 nowMs);
    void clear() { entries.clear(); }

    // In the order first heard.
    const std::vector<SeenNode> &nodes() const { return entries; }

private:
    qint64 goneAfterMs;
    std::vector<SeenNode> entries;
};

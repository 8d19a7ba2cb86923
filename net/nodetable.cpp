#include "net/nodetable.h"

#include <algorithm>

namespace {

// What tells one node's reply from another's at the same address and bind
// index: its MAC, or without one what it says about itself. The node report
// and status bytes change from reply to reply and are left out.
bool sameNode(const ArtNet::PollReply &a, const ArtNet::PollReply &b)
{
    if (a.hasMac() || b.hasMac())
        return a.mac == b.mac;
    return a.shortName == b.shortName && a.longName == b.longName && a.firmware == b.firmware
           && a.oem == b.oem && a.estaMan == b.estaMan && a.netSwitch == b.netSwitch
           && a.subSwitch == b.subSwitch && a.numPorts == b.numPorts
           && a.portTypes == b.portTypes && a.swOut == b.swOut && a.swIn == b.swIn;
}

// A change worth showing: anything but the node report text, which nodes
// renew with every reply.
bool shownChange(const ArtNet::PollReply &before, const ArtNet::PollReply &after)
{
    ArtNet::PollReply comparable = after;
    comparable.nodeReport = before.nodeReport;
    return comparable != before;
}

} // namespace

bool NodeTable::record(const QHostAddress &from, const ArtNet::PollReply &reply, qint64 nowMs)
{
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const SeenNode &node) {
        return node.address == from && node.reply.bindIndex == reply.bindIndex
               && sameNode(node.reply, reply);
    });
    if (found == entries.end()) {
        SeenNode node;
        node.address = from;
        node.reply = reply;
        node.firstSeenMs = nowMs;
        node.lastSeenMs = nowMs;
        entries.push_back(node);
        return true;
    }
    const bool changed = found->gone || shownChange(found->reply, reply);
    found->reply = reply;
    found->lastSeenMs = nowMs;
    found->gone = false;
    return changed;
}

bool NodeTable::expire(qint64 nowMs)
{
    bool changed = false;
    for (SeenNode &node : entries) {
        const bool silent = nowMs - node.lastSeenMs > goneAfterMs;
        if (silent && !node.gone) {
            node.gone = true;
            changed = true;
        }
    }
    return changed;
}

#include "net/nodetable.h"

#include <QHash>
#include <QPair>

#include <algorithm>

namespace {

constexpr int MacBits = 48;

// Silent for longer than this share of the time before gone, an entry has
// missed a poll and the second its nodes may take to answer it (2.5 s and
// 1 s of 7.5 s): it may leave a full list.
constexpr qint64 LeaveAfterGoneDivisor = 2;
// A full list is looked through for entries to let go at most this often:
// under a flood, entries age one by one, and each look costs the whole list.
constexpr qint64 MakeRoomSpacingMs = 500;

// A change worth showing: anything but the node report text, which nodes
// renew with every reply.
bool shownChange(const ArtNet::PollReply &before, const ArtNet::PollReply &after)
{
    ArtNet::PollReply comparable = after;
    comparable.nodeReport = before.nodeReport;
    return comparable != before;
}

} // namespace

std::size_t NodeTable::KeyHash::operator()(const Key &key) const
{
    return static_cast<std::size_t>(qHash(qMakePair(key.address, key.bindIndexAndMac)));
}

NodeTable::NodeTable(qint64 goneAfterMs, std::size_t capacity)
    : goneAfterMs(goneAfterMs), limit(capacity)
{
}

NodeTable::Key NodeTable::keyOf(const QHostAddress &from, const ArtNet::PollReply &reply)
{
    return {from.toIPv4Address(), quint64(reply.bindIndex) << MacBits | macNumber(reply)};
}

bool NodeTable::record(const QHostAddress &from, const ArtNet::PollReply &reply, qint64 nowMs)
{
    const Key key = keyOf(from, reply);
    const auto found = index.find(key);
    if (found != index.end())
        return update(found->second, reply, nowMs);
    if (entries.size() >= limit && !makeRoom(nowMs)) {
        ++refused;
        return false;
    }
    SeenNode node;
    node.address = QHostAddress(key.address);
    node.reply = reply;
    node.firstSeenMs = nowMs;
    node.lastSeenMs = nowMs;
    index.emplace(key, entries.size());
    entries.push_back(node);
    History history;
    history.identity = replyIdentity(reply);
    histories.push_back(history);
    return true;
}

bool NodeTable::update(std::size_t at, const ArtNet::PollReply &reply, qint64 nowMs)
{
    SeenNode &node = entries[at];
    const bool changed = node.gone || shownChange(node.reply, reply);
    if (changed) {
        const std::size_t identity = replyIdentity(reply);
        if (identity != histories[at].identity)
            noteChange(at, identity, nowMs);
    }
    node.reply = reply;
    node.lastSeenMs = nowMs;
    node.gone = false;
    ++histories[at].replies;
    return changed;
}

// A node without a MAC whose reply goes back to what it said before its
// last change, twice within the time a node takes to be gone: two nodes
// answer at its key in turn (one node changed and changed back, after a
// mistaken Envoyer, goes back once).
void NodeTable::noteChange(std::size_t at, std::size_t identity, qint64 nowMs)
{
    History &history = histories[at];
    SeenNode &node = entries[at];
    const auto recent = [&](qint64 ms) { return ms >= 0 && nowMs - ms <= goneAfterMs; };
    const bool back = !node.reply.hasMac() && recent(history.replacedMs)
                      && identity == history.replacedIdentity;
    if (back && recent(history.backMs))
        node.severalWithoutMacMs = nowMs;
    if (back)
        history.backMs = nowMs;
    history.replacedIdentity = history.identity;
    history.replacedMs = nowMs;
    history.identity = identity;
}

bool NodeTable::makeRoom(qint64 nowMs)
{
    if (nowMs < noRoomBeforeMs)
        return false;
    const qint64 leaveAfterMs = goneAfterMs / LeaveAfterGoneDivisor;
    qint64 longestSilentSeenMs = nowMs;
    bool someLeave = false;
    for (const SeenNode &node : entries) {
        longestSilentSeenMs = std::min(longestSilentSeenMs, node.lastSeenMs);
        someLeave = someLeave || nowMs - node.lastSeenMs > leaveAfterMs;
    }
    if (!someLeave) {
        noRoomBeforeMs = longestSilentSeenMs + leaveAfterMs + 1;
        return false;
    }
    keepOnly([&](const SeenNode &node, const History &) {
        return nowMs - node.lastSeenMs <= leaveAfterMs;
    });
    noRoomBeforeMs = nowMs + MakeRoomSpacingMs;
    return true;
}

bool NodeTable::expire(qint64 nowMs)
{
    const auto silent = [&](qint64 lastSeenMs) { return nowMs - lastSeenMs > goneAfterMs; };
    // The last time each node (address and MAC) answered with any reply.
    std::unordered_map<Key, qint64, KeyHash> lastAnswer;
    for (const SeenNode &node : entries) {
        qint64 &last = lastAnswer[Key{node.address.toIPv4Address(), macNumber(node.reply)}];
        last = std::max(last, node.lastSeenMs);
    }
    const auto leaves = [&](const SeenNode &node, const History &history) {
        const qint64 nodeLast = lastAnswer[Key{node.address.toIPv4Address(), macNumber(node.reply)}];
        return silent(node.lastSeenMs) && (history.replies == 1 || !silent(nodeLast));
    };
    bool changed = false;
    for (std::size_t i = 0; i < entries.size() && !changed; ++i)
        changed = leaves(entries[i], histories[i]);
    if (changed)
        keepOnly([&](const SeenNode &node, const History &history) { return !leaves(node, history); });
    for (SeenNode &node : entries) {
        if (silent(node.lastSeenMs) && !node.gone) {
            node.gone = true;
            changed = true;
        }
        if (node.severalWithoutMac() && silent(node.severalWithoutMacMs)) {
            node.severalWithoutMacMs = -1;
            changed = true;
        }
    }
    return changed;
}

template <typename Keep>
void NodeTable::keepOnly(Keep keep)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!keep(entries[i], histories[i]))
            continue;
        if (kept != i) {
            entries[kept] = std::move(entries[i]);
            histories[kept] = histories[i];
        }
        ++kept;
    }
    entries.resize(kept);
    histories.resize(kept);
    index.clear();
    for (std::size_t i = 0; i < entries.size(); ++i)
        index.emplace(keyOf(entries[i].address, entries[i].reply), i);
    noRoomBeforeMs = 0;
}

void NodeTable::clear()
{
    entries.clear();
    histories.clear();
    index.clear();
    noRoomBeforeMs = 0;
    refused = 0;
}

#pragma once

#include "net/seennode.h"

#include <cstddef>
#include <unordered_map>
#include <vector>

// The nodes heard so far, one entry per node and bind index (see SeenNode):
// a reply from a known node updates its entry, whatever else it changes.
// Pure: the caller gives the time.
//
// The list is bounded: when it holds `capacity` entries, those silent for
// longer than a poll and its replies leave to make room (looked for at most
// twice a second); while none is, a reply from a node not yet listed is
// refused and counted. A flood of replies from new MACs thus neither grows the list nor
// pushes out the nodes that keep answering.
class NodeTable
{
public:
    static constexpr std::size_t DefaultCapacity = 4096;

    explicit NodeTable(qint64 goneAfterMs, std::size_t capacity = DefaultCapacity);

    // Records a reply heard at `nowMs`. True when the list changed (a new
    // entry, a changed reply or a node back from gone), not for a reply
    // that only refreshes the time.
    bool record(const QHostAddress &from, const ArtNet::PollReply &reply, qint64 nowMs);
    // Marks as gone every entry silent for longer than goneAfterMs. Such an
    // entry leaves the list instead when its node still answers with its
    // other replies (it sends fewer replies since its patch changed), or
    // when it was heard only once (no node to show as absent: a stray or
    // forged reply). True when the list changed.
    bool expire(qint64 nowMs);
    void clear();

    // In the order first heard.
    const std::vector<SeenNode> &nodes() const { return entries; }
    std::size_t capacity() const { return limit; }
    // Replies from nodes not listed that found the list full, since made or
    // cleared.
    quint64 refusedReplies() const { return refused; }

private:
    struct Key {
        quint32 address;
        quint64 bindIndexAndMac;
        bool operator==(const Key &other) const
        {
            return address == other.address && bindIndexAndMac == other.bindIndexAndMac;
        }
    };
    struct KeyHash {
        std::size_t operator()(const Key &key) const;
    };
    // What the table remembers of an entry beyond what it shows.
    struct History {
        std::size_t identity = 0;         // replyIdentity() of the last reply
        std::size_t replacedIdentity = 0; // before its last change
        qint64 replacedMs = -1;           // when it changed; -1: never
        qint64 backMs = -1;               // when it last went back to what it replaced
        quint64 replies = 1;              // heard so many times
    };

    static Key keyOf(const QHostAddress &from, const ArtNet::PollReply &reply);
    bool update(std::size_t index, const ArtNet::PollReply &reply, qint64 nowMs);
    void noteChange(std::size_t index, std::size_t identity, qint64 nowMs);
    bool makeRoom(qint64 nowMs);
    bool stillAnswers(const SeenNode &node, qint64 nowMs) const;
    // Keeps the entries `keep` says yes to, in order, and indexes them again.
    template <typename Keep>
    void keepOnly(Keep keep);

    qint64 goneAfterMs;
    std::size_t limit;
    std::vector<SeenNode> entries;
    std::vector<History> histories; // beside entries, one each
    std::unordered_map<Key, std::size_t, KeyHash> index;
    qint64 noRoomBeforeMs = 0; // a full list has nothing silent to let go until then
    quint64 refused = 0;
};

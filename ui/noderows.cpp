#include "ui/noderows.h"

#include <QHash>
#include <QPair>
#include <QStringList>

#include <algorithm>
#include <set>
#include <unordered_map>

namespace {

const QString ConflictKey = QStringLiteral("conflit");
const QString NoMacKey = QStringLiteral("-");

// What groups entries into a row: the address and the MAC, or the address
// in conflict.
struct Grouping {
    quint32 address;
    quint64 mac;
    bool conflict;
    bool operator==(const Grouping &other) const
    {
        return address == other.address && mac == other.mac && conflict == other.conflict;
    }
};

struct GroupingHash {
    std::size_t operator()(const Grouping &grouping) const
    {
        return static_cast<std::size_t>(
            qHash(qMakePair(grouping.address, grouping.mac ^ quint64(grouping.conflict))));
    }
};

QString keyOf(const SeenNode &node, bool conflict)
{
    return node.address.toString() + QLatin1Char('/')
           + (conflict ? ConflictKey : node.reply.hasMac() ? node.reply.macText() : NoMacKey);
}

void addEntry(NodeRow &row, const SeenNode &node, std::size_t index)
{
    if (row.entries.empty())
        row.address = node.address;
    row.entries.push_back(index);
    row.lastSeenMs = std::max(row.lastSeenMs, node.lastSeenMs);
    row.gone = row.gone && node.gone;
}

// Its entries by bind index, and their universes in that order (once each
// in a conflict's row, where several nodes report the same).
void finishRow(NodeRow &row, const std::vector<SeenNode> &nodes)
{
    std::stable_sort(row.entries.begin(), row.entries.end(), [&](std::size_t a, std::size_t b) {
        return nodes[a].reply.bindIndex < nodes[b].reply.bindIndex;
    });
    std::set<int> listed;
    for (const std::size_t index : row.entries) {
        for (const int universe : nodes[index].universes()) {
            if (row.conflict.isEmpty() || listed.insert(universe).second)
                row.universes.push_back(universe);
        }
    }
}

} // namespace

std::vector<NodeRow> nodeRows(const std::vector<SeenNode> &nodes,
                              const std::vector<NodeConflict> &conflicts)
{
    std::vector<NodeRow> rows;
    std::vector<const NodeConflict *> conflictOf(nodes.size(), nullptr);
    for (const NodeConflict &conflict : conflicts)
        for (const std::size_t index : conflict.entries)
            conflictOf[index] = &conflict;
    std::unordered_map<Grouping, std::size_t, GroupingHash> rowOf;
    for (std::size_t index = 0; index < nodes.size(); ++index) {
        const SeenNode &node = nodes[index];
        const NodeConflict *const conflict = conflictOf[index];
        const Grouping grouping{node.address.toIPv4Address(), conflict ? 0 : macNumber(node.reply),
                                conflict != nullptr};
        const auto found = rowOf.emplace(grouping, rows.size());
        if (found.second) {
            rows.emplace_back();
            rows.back().key = keyOf(node, conflict != nullptr);
            if (conflict) {
                rows.back().conflict = conflict->reason;
                rows.back().macCount = conflict->macEntries.size();
            }
        }
        addEntry(rows[found.first->second], node, index);
    }
    for (NodeRow &row : rows)
        finishRow(row, nodes);
    return rows;
}

QString universeRangesText(const std::vector<int> &portAddresses)
{
    const auto range = [](int from, int to) {
        if (from == to)
            return QStringLiteral("%1 [%2]").arg(from).arg(ArtNet::portAddressText(from));
        return QStringLiteral("%1–%2 [%3–%4]")
            .arg(from)
            .arg(to)
            .arg(ArtNet::portAddressText(from), ArtNet::portAddressText(to));
    };
    if (portAddresses.empty())
        return QStringLiteral("aucun");
    QStringList texts;
    std::size_t first = 0;
    while (first < portAddresses.size()) {
        std::size_t last = first;
        while (last + 1 < portAddresses.size() && portAddresses[last + 1] == portAddresses[last] + 1)
            ++last;
        texts << range(portAddresses[first], portAddresses[last]);
        first = last + 1;
    }
    return texts.join(QStringLiteral(", "));
}

#include "ui/noderows.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <set>
#include <unordered_map>

namespace {

const QString ConflictKey = QStringLiteral("conflit");
const QString NoMacKey = QStringLiteral("-");

QString nodeKey(const SeenNode &node)
{
    return node.address.toString() + QLatin1Char('/')
           + (node.reply.hasMac() ? node.reply.macText() : NoMacKey);
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
    std::unordered_map<std::size_t, const NodeConflict *> conflictOf;
    for (const NodeConflict &conflict : conflicts)
        for (const std::size_t index : conflict.entries)
            conflictOf.emplace(index, &conflict);
    QHash<QString, std::size_t> rowOf;
    for (std::size_t index = 0; index < nodes.size(); ++index) {
        const auto conflict = conflictOf.find(index);
        const bool inConflict = conflict != conflictOf.end();
        const QString key = inConflict
                                ? nodes[index].address.toString() + QLatin1Char('/') + ConflictKey
                                : nodeKey(nodes[index]);
        auto found = rowOf.find(key);
        if (found == rowOf.end()) {
            found = rowOf.insert(key, rows.size());
            rows.emplace_back();
            rows.back().key = key;
            if (inConflict) {
                rows.back().conflict = conflict->second->reason;
                rows.back().macs = conflict->second->macs;
            }
        }
        addEntry(rows[found.value()], nodes[index], index);
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

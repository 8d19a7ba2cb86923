#include "ui/noderows.h"

#include <QStringList>

#include <algorithm>

namespace {

bool joinsRow(const NodeRow &row, const std::vector<SeenNode> &nodes, const SeenNode &node)
{
    const SeenNode &first = nodes[row.entries.front()];
    if (first.address != node.address || first.reply.mac != node.reply.mac)
        return false;
    return std::none_of(row.entries.begin(), row.entries.end(), [&](std::size_t index) {
        return nodes[index].reply.bindIndex == node.reply.bindIndex;
    });
}

void addEntry(NodeRow &row, const SeenNode &node, std::size_t index)
{
    if (row.entries.empty())
        row.address = node.address;
    row.entries.push_back(index);
    const std::vector<int> universes = node.universes();
    row.universes.insert(row.universes.end(), universes.begin(), universes.end());
    row.lastSeenMs = std::max(row.lastSeenMs, node.lastSeenMs);
    row.gone = row.gone && node.gone;
}

void markConflicts(std::vector<NodeRow> &rows, const std::vector<NodeConflict> &conflicts)
{
    for (NodeRow &row : rows)
        for (const NodeConflict &conflict : conflicts)
            for (const std::size_t index : conflict.entries)
                if (std::find(row.entries.begin(), row.entries.end(), index) != row.entries.end())
                    row.conflict = conflict.reason;
}

} // namespace

QString NodeRow::key() const
{
    return address.toString() + QLatin1Char('/') + QString::number(entries.front());
}

std::vector<NodeRow> nodeRows(const std::vector<SeenNode> &nodes,
                              const std::vector<NodeConflict> &conflicts)
{
    std::vector<NodeRow> rows;
    for (std::size_t index = 0; index < nodes.size(); ++index) {
        const SeenNode &node = nodes[index];
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const NodeRow &candidate) {
            return joinsRow(candidate, nodes, node);
        });
        if (row != rows.end()) {
            addEntry(*row, node, index);
        } else {
            rows.emplace_back();
            addEntry(rows.back(), node, index);
        }
    }
    markConflicts(rows, conflicts);
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

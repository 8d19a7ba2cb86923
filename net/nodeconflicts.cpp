#include "net/nodeconflicts.h"

#include <QCoreApplication>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("NodeConflicts", text);
}

// The entries still answering, grouped by address, the addresses in the
// order first heard.
std::vector<std::vector<std::size_t>> presentByAddress(const std::vector<SeenNode> &nodes)
{
    std::vector<std::vector<std::size_t>> groups;
    std::unordered_map<quint32, std::size_t> groupOf;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].gone)
            continue;
        const auto found = groupOf.emplace(nodes[i].address.toIPv4Address(), groups.size());
        if (found.second)
            groups.emplace_back();
        groups[found.first->second].push_back(i);
    }
    return groups;
}

std::vector<std::size_t> entriesOfEachMac(const std::vector<SeenNode> &nodes,
                                          const std::vector<std::size_t> &at)
{
    std::vector<std::size_t> entries;
    std::unordered_set<quint64> seen;
    for (const std::size_t i : at) {
        if (nodes[i].reply.hasMac() && seen.insert(macNumber(nodes[i].reply)).second)
            entries.push_back(i);
    }
    return entries;
}

QStringList macsOf(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &entries,
                   std::size_t count)
{
    QStringList macs;
    for (std::size_t i = 0; i < std::min(count, entries.size()); ++i)
        macs << nodes[entries[i]].reply.macText();
    return macs;
}

bool bindIndexRepeated(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &at)
{
    std::set<int> indices;
    for (const std::size_t i : at) {
        if (!indices.insert(nodes[i].reply.bindIndex).second)
            return true;
    }
    return false;
}

bool answersInTurn(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &at)
{
    return std::any_of(at.begin(), at.end(),
                       [&](std::size_t i) { return nodes[i].severalWithoutMac(); });
}

// "a, b, c, d et 296 autres"
QString someMacs(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &macEntries)
{
    const QString named = macsOf(nodes, macEntries, ConflictMacsNamed).join(QStringLiteral(", "));
    const auto others = static_cast<long long>(macEntries.size()) - ConflictMacsNamed;
    return others > 0 ? tr("%1 et %2 autres").arg(named).arg(others) : named;
}

QString reasonAt(const std::vector<SeenNode> &nodes, const QString &address,
                 const std::vector<std::size_t> &macEntries, bool repeated, bool inTurn)
{
    if (macEntries.size() > 1)
        return tr("%1 répond avec %2 adresses MAC : %3.")
            .arg(address)
            .arg(macEntries.size())
            .arg(someMacs(nodes, macEntries));
    if (repeated)
        return tr("%1 répond pour plusieurs nodes différents.").arg(address);
    if (inTurn)
        return tr("%1 répond pour plusieurs nodes sans adresse MAC, à tour de rôle.").arg(address);
    return QString();
}

} // namespace

std::vector<NodeConflict> findConflicts(const std::vector<SeenNode> &nodes)
{
    std::vector<NodeConflict> conflicts;
    for (const std::vector<std::size_t> &at : presentByAddress(nodes)) {
        const QHostAddress address = nodes[at.front()].address;
        const std::vector<std::size_t> macEntries = entriesOfEachMac(nodes, at);
        const QString reason = reasonAt(nodes, address.toString(), macEntries,
                                        bindIndexRepeated(nodes, at), answersInTurn(nodes, at));
        if (!reason.isEmpty())
            conflicts.push_back({address, at, macEntries, reason});
    }
    return conflicts;
}

QStringList NodeConflict::macs(const std::vector<SeenNode> &nodes) const
{
    return macsOf(nodes, macEntries, macEntries.size());
}

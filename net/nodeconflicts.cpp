#include "net/nodeconflicts.h"

#include <QCoreApplication>

#include <algorithm>
#include <set>
#include <unordered_map>

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

QStringList distinctMacs(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &at)
{
    QStringList macs;
    std::set<QString> seen;
    for (const std::size_t i : at) {
        if (nodes[i].reply.hasMac() && seen.insert(nodes[i].reply.macText()).second)
            macs << nodes[i].reply.macText();
    }
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
QString someMacs(const QStringList &macs)
{
    const QString named = macs.mid(0, ConflictMacsNamed).join(QStringLiteral(", "));
    const int others = macs.size() - ConflictMacsNamed;
    return others > 0 ? tr("%1 et %2 autres").arg(named).arg(others) : named;
}

QString reasonAt(const QString &address, const QStringList &macs, bool repeated, bool inTurn)
{
    if (macs.size() > 1)
        return tr("%1 répond avec %2 adresses MAC : %3.")
            .arg(address)
            .arg(macs.size())
            .arg(someMacs(macs));
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
        const QStringList macs = distinctMacs(nodes, at);
        const QString reason = reasonAt(address.toString(), macs, bindIndexRepeated(nodes, at),
                                        answersInTurn(nodes, at));
        if (!reason.isEmpty())
            conflicts.push_back({address, at, macs, reason});
    }
    return conflicts;
}

#include "net/nodeconflicts.h"

#include <QCoreApplication>

#include <algorithm>
#include <set>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("NodeConflicts", text);
}

// The indices of the entries still answering at `address`.
std::vector<std::size_t> presentAt(const std::vector<SeenNode> &nodes, const QHostAddress &address)
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (!nodes[i].gone && nodes[i].address == address)
            found.push_back(i);
    }
    return found;
}

QStringList distinctMacs(const std::vector<SeenNode> &nodes, const std::vector<std::size_t> &at)
{
    QStringList macs;
    for (const std::size_t i : at) {
        if (nodes[i].reply.hasMac() && !macs.contains(nodes[i].reply.macText()))
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

} // namespace

std::vector<NodeConflict> findConflicts(const std::vector<SeenNode> &nodes)
{
    std::vector<NodeConflict> conflicts;
    std::vector<QHostAddress> done;
    for (const SeenNode &node : nodes) {
        if (node.gone || std::find(done.begin(), done.end(), node.address) != done.end())
            continue;
        done.push_back(node.address);
        const std::vector<std::size_t> at = presentAt(nodes, node.address);
        const QStringList macs = distinctMacs(nodes, at);
        const QString address = node.address.toString();
        if (macs.size() > 1)
            conflicts.push_back({node.address, at,
                                 tr("%1 répond avec plusieurs adresses MAC : %2.")
                                     .arg(address, macs.join(QStringLiteral(", ")))});
        else if (bindIndexRepeated(nodes, at))
            conflicts.push_back({node.address, at,
                                 tr("%1 répond pour plusieurs nodes différents.").arg(address)});
    }
    return conflicts;
}

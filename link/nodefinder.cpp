#include "link/nodefinder.h"

#include "app/messages.h"
#include "link/stoprequest.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int MsPerSecond = 1000;

QString labels(const std::vector<PluggedNode> &nodes)
{
    QStringList list;
    for (const PluggedNode &node : nodes)
        list << node.label();
    return list.join(QStringLiteral(", "));
}

QString severalText(const std::vector<PluggedNode> &nodes)
{
    return QStringLiteral("%1 nodes branchés : %2").arg(nodes.size()).arg(labels(nodes));
}

QString ambiguousText(const QString &wanted, const std::vector<PluggedNode> &named)
{
    QStringList paths;
    for (const PluggedNode &node : named)
        paths << node.path;
    return QStringLiteral("--device %1 est ambigu, %2 nodes branchés ont ce numéro de série : "
                          "%3 ; nommez-en un par son chemin")
        .arg(quoted(wanted))
        .arg(named.size())
        .arg(paths.join(QStringLiteral(", ")));
}

// A path as hidapi gives it, in any case (Windows paths are not
// case-sensitive), or a serial number exactly.
bool isNamed(const PluggedNode &node, const QString &wanted)
{
    return node.path.compare(wanted, Qt::CaseInsensitive) == 0 || node.serial == wanted;
}

} // namespace

QString accessRefusedText(const QStringList &paths, const QString &fix)
{
    return QStringLiteral("%1 : %2 ; %3")
        .arg(message(Status::AccessRefused), paths.join(QStringLiteral(", ")),
             fix.isEmpty() ? message(AccessRefusedCommandFix) : fix);
}

QString libraryFailureText()
{
    return QStringLiteral("%1 : %2").arg(message(Status::UsbUnavailable),
                                         message(HidLibraryFailure));
}

NodeFinder::NodeFinder(Clock &clock, LineOutput &output) : clock(clock), output(output)
{
}

std::vector<PluggedNode> NodeFinder::openAll()
{
    const int count =
        hidOpen(MaxNodes, Node::VendorId, Node::ProductId, Node::AnyUsagePage, Node::AnyUsage);
    std::vector<PluggedNode> nodes;
    for (int device = 0; device < count; ++device)
        nodes.push_back({device, hidDevicePath(device), hidSerialNumber(device)});
    return nodes;
}

QStringList NodeFinder::refusedPaths() const
{
    return hidRefusedPaths();
}

bool NodeFinder::libraryFailed() const
{
    return hidLibraryFailed();
}

std::optional<FindOutcome> NodeFinder::pick(const std::vector<PluggedNode> &nodes,
                                            const NodeWait &wait)
{
    if (!wait.wanted.isEmpty()) {
        std::vector<PluggedNode> named;
        std::copy_if(nodes.begin(), nodes.end(), std::back_inserter(named),
                     [&wait](const PluggedNode &node) { return isNamed(node, wait.wanted); });
        if (named.size() == 1)
            return FindOutcome{FindResult::Found, named.front(), {}};
        if (named.size() > 1)
            return FindOutcome{FindResult::Several, {}, ambiguousText(wait.wanted, named)};
        return std::nullopt;
    }
    if (nodes.size() == 1)
        return FindOutcome{FindResult::Found, nodes.front(), {}};
    if (nodes.size() > 1) {
        if (!wait.waitOutSeveral)
            return FindOutcome{FindResult::Several, {},
                               severalText(nodes)
                                   + QStringLiteral(" : choisissez-en un avec --device CHEMIN|SÉRIE")};
        sayOnce(saidSeveral, severalText(nodes) + QStringLiteral(" : n'en laissez qu'un"));
    }
    return std::nullopt;
}

FindOutcome NodeFinder::timedOut(const NodeWait &wait, const std::vector<PluggedNode> &nodes) const
{
    const QStringList refused = refusedPaths();
    if (!refused.isEmpty())
        return {FindResult::AccessRefused, {}, accessRefusedText(refused)};
    const QString waited = QStringLiteral(" (attente de %1 s écoulée)")
                               .arg(wait.waitMs / MsPerSecond);
    if (!wait.wanted.isEmpty() && !nodes.empty())
        return {FindResult::NoNode, {},
                QStringLiteral("aucun node « %1 » parmi les nodes branchés : %2%3")
                    .arg(wait.wanted, labels(nodes), waited)};
    return {FindResult::NoNode, {}, message(Status::NoNodeConnected) + waited};
}

void NodeFinder::startWaiting()
{
    saidWaiting = saidRefused = saidSeveral = false;
}

std::optional<FindOutcome> NodeFinder::lookOnce(const NodeWait &wait)
{
    const std::vector<PluggedNode> nodes = openAll();
    if (libraryFailed())
        return FindOutcome{FindResult::NoLibrary, {}, libraryFailureText()};
    if (const std::optional<FindOutcome> decided = pick(nodes, wait))
        return decided;
    const QStringList refused = refusedPaths();
    if (!refused.isEmpty())
        sayOnce(saidRefused, accessRefusedText(refused, refusedFix));
    lastSeen = nodes;
    return std::nullopt;
}

void NodeFinder::sayWaiting(const NodeWait &wait)
{
    sayOnce(saidWaiting, wait.prompt.isEmpty()
                             ? message(Status::WaitingForNode) + QStringLiteral("…")
                             : wait.prompt);
}

FindOutcome NodeFinder::waitForNode(const NodeWait &wait)
{
    startWaiting();
    const qint64 start = clock.elapsedMs();
    for (;;) {
        if (const std::optional<FindOutcome> decided = lookOnce(wait))
            return *decided;
        if (stopRequested())
            return {FindResult::Interrupted, {}, QStringLiteral("interrompu")};
        if (wait.waitMs >= 0 && clock.elapsedMs() - start >= wait.waitMs)
            return timedOut(wait, lastSeen);
        sayWaiting(wait);
        clock.sleepMs(PollIntervalMs);
    }
}

std::vector<PluggedNode> NodeFinder::waitForAny(qint64 waitMs)
{
    saidWaiting = false;
    const qint64 start = clock.elapsedMs();
    for (;;) {
        const std::vector<PluggedNode> nodes = openAll();
        if (!nodes.empty() || libraryFailed() || stopRequested()
            || clock.elapsedMs() - start >= waitMs)
            return nodes;
        sayOnce(saidWaiting, message(Status::WaitingForNode) + QStringLiteral("…"));
        clock.sleepMs(PollIntervalMs);
    }
}

bool NodeFinder::isPlugged(const PluggedNode &node)
{
    const std::vector<PluggedNode> nodes = openAll();
    return std::any_of(nodes.begin(), nodes.end(),
                       [&node](const PluggedNode &other) { return other.sameAs(node); });
}

void NodeFinder::sayOnce(bool &said, const QString &line)
{
    if (said)
        return;
    said = true;
    output.note(line);
}

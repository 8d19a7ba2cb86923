#pragma once

#include "link/clock.h"
#include "link/lineoutput.h"
#include "link/pluggednode.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

enum class FindResult { Found, NoNode, Several, AccessRefused, NoLibrary, Interrupted };

struct FindOutcome {
    FindResult result = FindResult::NoNode;
    PluggedNode node;
    QString failure; // in French, unless found
};

// What to wait for: the node named by path or serial (or the only one
// plugged in), for at most waitMs (negative: until stopped). In a series,
// several nodes at once are waited out instead of refused.
struct NodeWait {
    QString wanted;
    qint64 waitMs = -1;
    bool waitOutSeveral = false;
    QString prompt; // said once while waiting; empty: "En attente de node…"
};

// Finds nodes by polling the transport, as the window's search does.
class NodeFinder
{
public:
    static constexpr int PollIntervalMs = 100;
    static constexpr int MaxNodes = 16;

    NodeFinder(Clock &clock, LineOutput &output);

    // What to do about a node that cannot be opened, as the finder says it
    // while it waits; by default the command line's hint.
    void setAccessRefusedFix(const QString &fix) { refusedFix = fix; }

    // Opens every node plugged in now, numbered in enumeration order.
    std::vector<PluggedNode> openAll();
    // Nodes found at the last openAll but refused (no access).
    QStringList refusedPaths() const;
    // Whether the last openAll could not start the HID library.
    bool libraryFailed() const;

    FindOutcome waitForNode(const NodeWait &wait);
    // The steps of waitForNode, for a caller that waits in its own way (a
    // timer): startWaiting once, then lookOnce at each poll, which decides
    // (nullopt: go on waiting) and names refused nodes once; sayWaiting
    // before each pause says the prompt once.
    void startWaiting();
    std::optional<FindOutcome> lookOnce(const NodeWait &wait);
    void sayWaiting(const NodeWait &wait);
    // Whether the node is still plugged in, by a new enumeration.
    bool isPlugged(const PluggedNode &node);
    // Waits up to waitMs until at least one node can be opened; empty when
    // none could (refusedPaths() then tells whether some were refused).
    std::vector<PluggedNode> waitForAny(qint64 waitMs);

private:
    // One poll: the outcome when it decides, nullopt to go on waiting.
    std::optional<FindOutcome> pick(const std::vector<PluggedNode> &nodes, const NodeWait &wait);
    FindOutcome timedOut(const NodeWait &wait, const std::vector<PluggedNode> &nodes) const;
    void sayOnce(bool &said, const QString &line);

    Clock &clock;
    LineOutput &output;
    bool saidWaiting = false;
    bool saidRefused = false;
    bool saidSeveral = false;
    std::vector<PluggedNode> lastSeen; // by the last look that did not decide
    QString refusedFix;
};

// The French hint given with a node that could not be opened: what to do
// about it, by default the command line's.
QString accessRefusedText(const QStringList &paths, const QString &fix = QString());
// What is said when the HID library does not start.
QString libraryFailureText();

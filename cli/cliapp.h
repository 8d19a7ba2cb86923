#pragma once

#include "cli/arguments.h"
#include "link/clock.h"
#include "link/lineoutput.h"
#include "link/nodefinder.h"
#include "link/nodelink.h"
#include "net/nodediscovery.h"
#include "net/testpatternsender.h"
#include "protocol/nodereport.h"
#include "protocol/validation.h"
#include "series/serieslog.h"

#include <optional>
#include <vector>

// nodeconfig-cli: one run of one command, from the arguments to the exit
// status.
class CliApp
{
public:
    static constexpr int DefaultWaitSeconds = 10;

    CliApp(Clock &clock, LineOutput &output);

    // Runs the command of the arguments (program name excluded).
    int run(const QStringList &arguments);

    // The commands it runs, by name.
    static QStringList commandNames();

    // Where the network commands listen: any address, port 6454 shared, by
    // default. Tests give 127.0.0.1 and port 0.
    void setNetworkBind(const QHostAddress &address, quint16 port);
    // How the test pattern's datagrams go out: the sender's socket by
    // default; tests give one that fails as a network gone away does.
    void setPatternSend(TestPatternSender::DatagramSend send) { patternSend = std::move(send); }

private:
    using Command = int (CliApp::*)();
    struct CommandSpec {
        const char *name;
        int minOperands;
        int maxOperands; // -1: no limit
        QStringList options;
        Command command;
    };
    static const std::vector<CommandSpec> &commands();
    QString usageFailure(const CommandSpec &spec) const;

    int list();
    int show();
    int save();
    int load();
    int set();
    int factoryReset();
    int curtain();
    int costume();
    int series();
    int network();
    int testPattern();

    // The network commands' steps (cli/networkcommands.cpp).
    int checkSeriesLog(NodeDiscovery &discovery, const std::vector<SeriesRow> &rows);
    std::optional<NodeDiscovery::Target> pollTarget(const QString &text, QString &failure) const;
    // Refuses, unless --share-port says to go on, when another program
    // holds the port; then binds and sends the first poll.
    bool startDiscovery(NodeDiscovery &discovery, int &status);
    // The universes the node at `target` reports, each once, after naming
    // the conflict there; false (status in `status`) when none answers, or
    // on a conflict unless --on-conflict send says to go on.
    bool reportedUniverses(const NodeDiscovery::Target &target, bool despiteConflict,
                           std::vector<int> &universes, int &status);
    // Runs the pattern to its end: the time, Ctrl+C or another stop.
    int runPattern(const NodeDiscovery::Target &target, const std::vector<int> &universes,
                   int seconds);
    // Lets the nodes answer for `durationMs` on the clock, polling every
    // PollIntervalMs; ends early when `done` says so or on Ctrl+C.
    template <typename Done>
    void listen(NodeDiscovery &discovery, qint64 durationMs, Done done);
    int printNodes(const NodeDiscovery &discovery, bool polledInterfaces);

    // The node to work on and its configuration as read.
    struct ReadNode {
        NodeLink link;
        NodeReport configuration;
    };

    // The node to work on, or nullopt after saying why (status in `status`).
    std::optional<PluggedNode> findNode(int &status);
    // The same, read: nullopt also when it does not answer.
    std::optional<ReadNode> readChosenNode(int &status);
    // Writes a configuration, verifies it and says how it went.
    int writeVerifiedAndSay(NodeLink &link, const NodeReport &configuration,
                            const QString &what);
    // Reads the node, builds a configuration from it and writes it verified.
    template <typename Build>
    int rewriteNode(const QString &what, Build build);
    int writeUnit(UnitKind kind);

    int fail(int status, const QString &message);

    Clock &clock;
    LineOutput &output;
    NodeFinder finder;
    CliArguments arguments;
    qint64 waitMs = 0;
    PluggedNode node;
    QHostAddress networkBindAddress{QHostAddress::AnyIPv4};
    quint16 networkBindPort = 6454;
    TestPatternSender::DatagramSend patternSend;
};

#pragma once

#include "link/clock.h"
#include "net/nodeconflicts.h"
#include "net/nodetable.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <vector>

// Finds the Art-Net nodes on the network: polls every PollIntervalMs, on
// each network interface that is up (its directed broadcast) or on the
// targets given, and keeps the list of what answers. A node silent for
// three polls is shown as gone. Nothing is sent while stopped.
//
// It binds UDP 6454 sharing the port with lighting software that may hold it
// too; with a shared port the other program may stop hearing its nodes (see
// sharedPortWarning(); the callers ask net/sharedport.h first). Its own
// polls are never taken for nodes.
class NodeDiscovery : public QObject
{
    Q_OBJECT

public:
    static constexpr int PollIntervalMs = 2500;
    static constexpr int PollsBeforeGone = 3;

    struct Target {
        QHostAddress address;
        quint16 port = 6454;
    };

    // `clock` gives the times of the list; it must outlive the discovery.
    explicit NodeDiscovery(Clock &clock, QObject *parent = nullptr);
    ~NodeDiscovery() override;

    // Where to listen: by default any address, port 6454 shared. Tests give
    // 127.0.0.1 and port 0 (a free port). Takes effect at the next start().
    void setBindAddress(const QHostAddress &address, quint16 port);
    // Poll these instead of the interfaces' broadcasts (tests, the demo, the
    // CLI's --poll). An empty list polls the interfaces again.
    void setTargets(const std::vector<Target> &targets);
    // Adds one target to those given (the demo's node beside the network).
    void addTarget(const Target &target);

    // True (the default): a timer polls every PollIntervalMs. False: the
    // caller calls pollNow() on its own clock (the console tool's loop).
    void setPollsByTimer(bool byTimer) { pollsByTimer = byTimer; }

    // Binds and sends the first poll at once, then one every PollIntervalMs.
    // False, with errorText() saying why, when the port cannot be bound.
    bool start();
    // Stops polling and closes the socket; the list is kept.
    void stop();
    bool isRunning() const;

    // What went wrong binding, in French, naming the port; empty otherwise.
    QString errorText() const { return bindError; }
    // When the port is shared with another program that holds it: a French
    // note of what the system does with the replies then; empty otherwise.
    QString sharedPortWarning() const { return portWarning; }

    // The port the socket is bound to (the given one, or the free port the
    // system chose for port 0); 0 while stopped.
    quint16 boundPort() const;

    // When polling the interfaces and none is on the network of
    // `nodeAddress` (2.0.0.0/8 for the presets): in French, which address to
    // give this computer. Empty otherwise.
    QString networkAdvice(const QHostAddress &nodeAddress) const;

    const std::vector<SeenNode> &nodes() const { return table.nodes(); }
    std::vector<NodeConflict> conflicts() const { return findConflicts(table.nodes()); }
    void clearNodes();

public slots:
    // Sends one poll to every target now and marks the silent nodes gone;
    // the timer calls it, tests call it.
    void pollNow();

signals:
    // The list changed: a node appeared, changed, left or came back.
    void nodesChanged();
    // errorText() changed.
    void errorChanged();

private slots:
    void readPendingDatagrams();

private:
    std::vector<Target> pollTargets() const;
    // Records a reply; true when the list changed.
    bool handleDatagram(const QByteArray &datagram, const QHostAddress &from);
    bool bindSocket();
    void setError(const QString &text);

    Clock &clock;
    NodeTable table;
    QUdpSocket *socket = nullptr;
    QTimer pollTimer;
    QHostAddress bindAddress{QHostAddress::AnyIPv4};
    quint16 bindPort = 6454;
    std::vector<Target> targets;
    QString bindError;
    QString portWarning;
    bool pollsByTimer = true;
};

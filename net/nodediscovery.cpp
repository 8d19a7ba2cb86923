#include "net/nodediscovery.h"

NodeDiscovery::NodeDiscovery(Clock &clock, QObject *parent)
    : QObject(parent), clock(clock), table(PollIntervalMs * PollsBeforeGone)
{
}

NodeDiscovery::~NodeDiscovery() = default;

void NodeDiscovery::setBindAddress(const QHostAddress &address, quint16 port)
{
    bindAddress = address;
    bindPort = port;
}

void NodeDiscovery::setTargets(const std::vector<Target> &given)
{
    targets = given;
}

void NodeDiscovery::addTarget(const Target &target)
{
    targets.push_back(target);
}

bool NodeDiscovery::start()
{
    return false;
}

void NodeDiscovery::stop()
{
}

bool NodeDiscovery::isRunning() const
{
    return false;
}

quint16 NodeDiscovery::boundPort() const
{
    return 0;
}

void NodeDiscovery::clearNodes()
{
    table.clear();
    emit nodesChanged();
}

void NodeDiscovery::pollNow()
{
}

void NodeDiscovery::readPendingDatagrams()
{
}

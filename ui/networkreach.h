#pragma once

#include "net/artnetpackets.h"
#include "net/nodediscovery.h"

#include <QHostAddress>

#include <vector>

// Where the network window listens and polls. By default it shares UDP 6454
// on every address and polls each interface that is up, or the address the
// user types; the demo and the tests fix it to loopback addresses, which the
// user then cannot change.
struct NetworkReach {
    QHostAddress bindAddress{QHostAddress::AnyIPv4};
    quint16 bindPort = ArtNet::Port;
    std::vector<NodeDiscovery::Target> targets; // empty: the interfaces
    bool fixed = false;                         // the user may not poll elsewhere

    // The port a node at `address` listens on: the one its target names, or
    // Art-Net's.
    quint16 portOf(const QHostAddress &address) const
    {
        for (const NodeDiscovery::Target &target : targets)
            if (target.address == address)
                return target.port;
        return ArtNet::Port;
    }
};

#pragma once

#include <QHostAddress>
#include <QString>

#include <vector>

// The IPv4 addresses of this computer's interfaces, as the discovery needs
// them: where to send the poll, and whether one of them is on the node's
// network.
struct InterfaceAddress {
    QString interfaceName; // as the system shows it ("eth0", "Ethernet 2")
    QHostAddress ip;
    int prefixLength = 0;
    QHostAddress broadcast; // null when the interface has none (loopback)
};

// The IPv4 addresses of the interfaces that are up and running, loopback
// left out.
std::vector<InterfaceAddress> upInterfaceAddresses();

// The directed broadcast addresses to poll, once each, in interface order.
std::vector<QHostAddress> pollBroadcasts(const std::vector<InterfaceAddress> &interfaces);

// The directed broadcasts of the interfaces on `address`'s network (their
// own prefix), once each: a poll there reaches every node that answers at
// that address, where a unicast poll reaches one of them.
std::vector<QHostAddress> broadcastsToward(const std::vector<InterfaceAddress> &interfaces,
                                           const QHostAddress &address);

// Whether a datagram to `address` reaches every node that hears it, not
// one: 0.0.0.0, 255.255.255.255, a multicast group, or the directed
// broadcast of one of `interfaces`. The test pattern is never sent there.
bool reachesManyNodes(const std::vector<InterfaceAddress> &interfaces, const QHostAddress &address);

// The node's network: 2.0.0.0/8 for the presets' addresses (mask 255.0.0.0).
constexpr int NodeNetworkPrefix = 8;

// Empty when one of `interfaces` is on the network of `nodeAddress`
// (`prefixLength` bits). Otherwise, in French, that no interface is on that
// network and which address and mask to give this computer (one on the
// node's network that is not the node's own), e.g. "2.0.0.1, masque
// 255.0.0.0".
QString missingNetworkAdvice(const std::vector<InterfaceAddress> &interfaces,
                             const QHostAddress &nodeAddress,
                             int prefixLength = NodeNetworkPrefix);

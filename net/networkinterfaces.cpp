#include "net/networkinterfaces.h"

#include <QCoreApplication>
#include <QNetworkInterface>

#include <algorithm>

namespace {

constexpr int Ipv4Bits = 32;
constexpr quint32 AllOnes = 0xFFFFFFFFu;

quint32 maskOf(int prefixLength)
{
    const int bits = std::clamp(prefixLength, 0, Ipv4Bits);
    return bits == 0 ? 0 : AllOnes << (Ipv4Bits - bits);
}

bool onNetwork(const QHostAddress &ip, const QHostAddress &network, int prefixLength)
{
    const quint32 mask = maskOf(prefixLength);
    return (ip.toIPv4Address() & mask) == (network.toIPv4Address() & mask);
}

// The first host of the node's network that is not the node itself.
QHostAddress suggestedAddress(const QHostAddress &nodeAddress, int prefixLength)
{
    const quint32 network = nodeAddress.toIPv4Address() & maskOf(prefixLength);
    const quint32 first = network + 1;
    return QHostAddress(first == nodeAddress.toIPv4Address() ? first + 1 : first);
}

} // namespace

std::vector<InterfaceAddress> upInterfaceAddresses()
{
    std::vector<InterfaceAddress> found;
    const auto wanted = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if ((interface.flags() & wanted) != wanted
            || interface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            found.push_back({interface.humanReadableName(), entry.ip(), entry.prefixLength(),
                             entry.broadcast()});
        }
    }
    return found;
}

std::vector<QHostAddress> pollBroadcasts(const std::vector<InterfaceAddress> &interfaces)
{
    std::vector<QHostAddress> broadcasts;
    for (const InterfaceAddress &entry : interfaces) {
        if (!entry.broadcast.isNull()
            && std::find(broadcasts.begin(), broadcasts.end(), entry.broadcast) == broadcasts.end())
            broadcasts.push_back(entry.broadcast);
    }
    return broadcasts;
}

std::vector<QHostAddress> broadcastsToward(const std::vector<InterfaceAddress> &interfaces,
                                           const QHostAddress &address)
{
    std::vector<InterfaceAddress> onItsNetwork;
    for (const InterfaceAddress &entry : interfaces)
        if (onNetwork(entry.ip, address, entry.prefixLength))
            onItsNetwork.push_back(entry);
    return pollBroadcasts(onItsNetwork);
}

bool reachesManyNodes(const std::vector<InterfaceAddress> &interfaces, const QHostAddress &address)
{
    const quint32 ip = address.toIPv4Address();
    if (ip == 0 || ip == AllOnes || address.isMulticast())
        return true;
    return std::any_of(interfaces.begin(), interfaces.end(), [&](const InterfaceAddress &entry) {
        return !entry.broadcast.isNull() && entry.broadcast.toIPv4Address() == ip;
    });
}

QString missingNetworkAdvice(const std::vector<InterfaceAddress> &interfaces,
                             const QHostAddress &nodeAddress, int prefixLength)
{
    const bool reachable = std::any_of(interfaces.begin(), interfaces.end(),
                                       [&](const InterfaceAddress &entry) {
                                           return onNetwork(entry.ip, nodeAddress, prefixLength);
                                       });
    if (reachable)
        return {};
    const QHostAddress network(nodeAddress.toIPv4Address() & maskOf(prefixLength));
    return QCoreApplication::translate(
               "NetworkInterfaces",
               "Aucune interface de cet ordinateur n'est sur le réseau %1/%2 du node %3 : "
               "donnez à cet ordinateur une adresse de ce réseau, par exemple %4, masque %5.")
        .arg(network.toString())
        .arg(prefixLength)
        .arg(nodeAddress.toString(), suggestedAddress(nodeAddress, prefixLength).toString(),
             QHostAddress(maskOf(prefixLength)).toString());
}

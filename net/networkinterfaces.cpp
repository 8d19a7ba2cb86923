#include "net/networkinterfaces.h"

std::vector<InterfaceAddress> upInterfaceAddresses()
{
    return {};
}

std::vector<QHostAddress> pollBroadcasts(const std::vector<InterfaceAddress> &)
{
    return {};
}

QString missingNetworkAdvice(const std::vector<InterfaceAddress> &, const QHostAddress &, int)
{
    return {};
}

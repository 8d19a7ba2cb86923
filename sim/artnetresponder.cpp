#include "sim/artnetresponder.h"

#include <QCoreApplication>
#include <QNetworkDatagram>

#include <map>

namespace {

constexpr std::uint8_t OutputDmxPort = 0x80;
constexpr std::uint8_t DataTransmitted = 0x80;
constexpr std::uint8_t StyleNode = 0x00;
constexpr int SubNetBits = 4;
constexpr int FirstBindIndex = 1;
constexpr int OctetBits = 8;

// The configuration's network mask, first octet highest.
quint32 configuredMask(const NodeReport &configuration)
{
    quint32 mask = 0;
    for (std::size_t octet = 0; octet < Report::IpOctets; ++octet)
        mask = mask << OctetBits | configuration[Report::IpMask + octet];
    return mask;
}

} // namespace

ArtNetResponder::ArtNetResponder(QObject *parent) : QObject(parent)
{
    connect(&socket, &QUdpSocket::readyRead, this, &ArtNetResponder::readUnicasts);
    connect(&anyAddressSocket, &QUdpSocket::readyRead, this, &ArtNetResponder::readBroadcasts);
}

void ArtNetResponder::setConfiguration(const NodeReport &report)
{
    configuration = report;
}

bool ArtNetResponder::start(const QHostAddress &address, quint16 port)
{
    stop();
    // The address first, so that a free port it is given is shared next.
    if (!bindShared(socket, address, port)
        || !bindShared(anyAddressSocket, QHostAddress(QHostAddress::AnyIPv4), socket.localPort())) {
        stop();
        return false;
    }
    error.clear();
    dmx.clear();
    polls = 0;
    setAside = 0;
    return true;
}

bool ArtNetResponder::bindShared(QUdpSocket &udp, const QHostAddress &address, quint16 port)
{
    if (udp.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        return true;
    error = QCoreApplication::translate("ArtNetResponder", "Impossible d'écouter sur %1, port UDP %2 : %3")
                .arg(address.toString())
                .arg(port)
                .arg(udp.errorString());
    return false;
}

void ArtNetResponder::stop()
{
    socket.close();
    anyAddressSocket.close();
}

QHostAddress ArtNetResponder::address() const
{
    return socket.localAddress();
}

quint16 ArtNetResponder::port() const
{
    return socket.localPort();
}

QHostAddress ArtNetResponder::broadcast() const
{
    return QHostAddress(address().toIPv4Address() | ~configuredMask(configuration));
}

std::vector<int> ArtNetResponder::universes() const
{
    const int offset = configuration[Report::UniverseOffset];
    std::vector<int> found;
    for (const std::size_t first : {Report::Spi1Patch, Report::Spi2Patch}) {
        for (std::size_t slot = 0; slot < Report::PatchSlots; ++slot) {
            const int patch = configuration[first + slot];
            if (patch != 0)
                found.push_back((patch + offset) & ArtNet::MaxPortAddress);
        }
    }
    return found;
}

std::vector<ArtNet::PollReply> ArtNetResponder::replies() const
{
    // One reply per sub-net, four ports at most in each.
    std::map<int, std::vector<int>> bySubNet;
    for (const int universe : universes())
        bySubNet[universe >> SubNetBits].push_back(universe);

    ArtNet::PollReply base;
    base.ipField = address().toIPv4Address();
    base.udpPort = ArtNet::Port;
    base.firmware = firmware;
    base.shortName = shortName;
    base.longName = shortName;
    base.style = StyleNode;
    base.mac = macAddress;
    base.bindIp = base.ipField;

    // A node without an output universe still answers, once.
    if (bySubNet.empty())
        return {base};
    std::vector<ArtNet::PollReply> all;
    for (const auto &group : bySubNet) {
        const std::vector<int> &ports = group.second;
        for (std::size_t first = 0; first < ports.size(); first += ArtNet::PortsPerReply) {
            ArtNet::PollReply reply = base;
            const ArtNet::PortAddressParts parts = ArtNet::unpackPortAddress(ports[first]);
            reply.netSwitch = static_cast<std::uint8_t>(parts.net);
            reply.subSwitch = static_cast<std::uint8_t>(parts.subNet);
            const std::size_t count =
                std::min<std::size_t>(ArtNet::PortsPerReply, ports.size() - first);
            reply.numPorts = static_cast<std::uint16_t>(count);
            for (std::size_t p = 0; p < count; ++p) {
                reply.portTypes[p] = OutputDmxPort;
                reply.goodOutput[p] = DataTransmitted;
                reply.swOut[p] =
                    static_cast<std::uint8_t>(ArtNet::unpackPortAddress(ports[first + p]).universe);
            }
            reply.bindIndex = static_cast<std::uint8_t>(FirstBindIndex + all.size());
            all.push_back(reply);
        }
    }
    return all;
}

void ArtNetResponder::readUnicasts()
{
    readPendingDatagrams(socket);
}

void ArtNetResponder::readBroadcasts()
{
    readPendingDatagrams(anyAddressSocket);
}

void ArtNetResponder::readPendingDatagrams(QUdpSocket &udp)
{
    while (udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp.receiveDatagram();
        if (!datagram.isValid())
            break;
        const QByteArray data = datagram.data();
        const bool forThisNode = &udp == &socket || isForThisNode(datagram.destinationAddress());
        ArtNet::DmxPacket packet;
        if (ArtNet::isPoll(data)) {
            if (forThisNode)
                answerPoll(datagram.senderAddress(), static_cast<quint16>(datagram.senderPort()));
            else
                ++setAside;
        } else if (forThisNode && ArtNet::decodeDmx(data, packet)) {
            dmx.push_back(packet);
            emit dmxReceived(packet);
        }
    }
}

// The socket bound to any address also takes the unicasts to the other
// addresses of this computer that no socket of their own takes.
bool ArtNetResponder::isForThisNode(const QHostAddress &destination) const
{
    const quint32 to = destination.toIPv4Address();
    return !destination.isNull()
           && (to == address().toIPv4Address() || to == broadcast().toIPv4Address());
}

// Answers to where the poll came from: the controller's port 6454 on a
// real network, the test's own port on loopback.
void ArtNetResponder::answerPoll(const QHostAddress &to, quint16 port)
{
    for (const ArtNet::PollReply &reply : replies())
        socket.writeDatagram(ArtNet::encodePollReply(reply), to, port);
    ++polls;
    emit pollAnswered();
}

#include "sim/artnetresponder.h"

#include <QCoreApplication>

#include <map>

namespace {

constexpr std::uint8_t OutputDmxPort = 0x80;
constexpr std::uint8_t DataTransmitted = 0x80;
constexpr std::uint8_t StyleNode = 0x00;
constexpr int SubNetBits = 4;
constexpr int FirstBindIndex = 1;

} // namespace

ArtNetResponder::ArtNetResponder(QObject *parent) : QObject(parent)
{
    connect(&socket, &QUdpSocket::readyRead, this, &ArtNetResponder::readPendingDatagrams);
}

void ArtNetResponder::setConfiguration(const NodeReport &report)
{
    configuration = report;
}

bool ArtNetResponder::start(const QHostAddress &address, quint16 port)
{
    stop();
    if (!socket.bind(address, port, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        error = QCoreApplication::translate("ArtNetResponder",
                                            "Impossible d'écouter sur %1, port UDP %2 : %3")
                    .arg(address.toString())
                    .arg(port)
                    .arg(socket.errorString());
        return false;
    }
    error.clear();
    dmx.clear();
    polls = 0;
    return true;
}

void ArtNetResponder::stop()
{
    socket.close();
}

QHostAddress ArtNetResponder::address() const
{
    return socket.localAddress();
}

quint16 ArtNetResponder::port() const
{
    return socket.localPort();
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

void ArtNetResponder::readPendingDatagrams()
{
    while (socket.hasPendingDatagrams()) {
        const qint64 size = socket.pendingDatagramSize();
        QByteArray datagram(static_cast<int>(std::max<qint64>(size, 0)), '\0');
        QHostAddress from;
        quint16 fromPort = 0;
        const qint64 read = socket.readDatagram(datagram.data(), datagram.size(), &from, &fromPort);
        if (read < 0)
            break;
        datagram.truncate(static_cast<int>(read));
        ArtNet::DmxPacket packet;
        if (ArtNet::isPoll(datagram)) {
            answerPoll(from, fromPort);
        } else if (ArtNet::decodeDmx(datagram, packet)) {
            dmx.push_back(packet);
            emit dmxReceived(packet);
        }
    }
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

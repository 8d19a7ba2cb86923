#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

// Art-Net 4, the three packets this tool speaks: ArtPoll out, ArtPollReply
// in (and out, for the simulated node), ArtDmx out (and in, for the simulated
// node). Pure functions over datagrams: nothing here opens a socket.
//
// Every packet starts with the ID "Art-Net\0" and a little-endian OpCode.
// Other multi-byte fields are big-endian, except ArtPollReply's Port and
// EstaMan, which are little-endian.
namespace ArtNet {

constexpr std::uint16_t Port = 6454;
constexpr std::uint16_t OpPoll = 0x2000;
constexpr std::uint16_t OpPollReply = 0x2100;
constexpr std::uint16_t OpDmx = 0x5000;
constexpr int ProtocolVersion = 14;

constexpr int PollSize = 22;
constexpr int PollReplySize = 239;
constexpr int DmxHeaderSize = 18;
constexpr int DmxMaxChannels = 512;
constexpr int DmxMinChannels = 2;

constexpr int PortsPerReply = 4;
constexpr int MacSize = 6;
constexpr int ShortNameSize = 18;
constexpr int LongNameSize = 64;
constexpr int NodeReportSize = 64;

// Port-address: net 0..127, sub-net 0..15, universe 0..15 in one 15-bit
// number 0..32767, as Art-Net counts universes (from 0).
constexpr int MaxNet = 0x7F;
constexpr int MaxSubNet = 0x0F;
constexpr int MaxUniverse = 0x0F;
constexpr int MaxPortAddress = 0x7FFF;

struct PortAddressParts {
    int net = 0;
    int subNet = 0;
    int universe = 0;
};

// Packs the three parts; each is cut to its own width first.
int packPortAddress(int net, int subNet, int universe);
// The parts of a port-address cut to 15 bits.
PortAddressParts unpackPortAddress(int portAddress);
// "net.sub-net.universe", as lighting software shows it: 0x0123 -> "1.2.3".
QString portAddressText(int portAddress);

// The OpCode of an Art-Net datagram, or 0 when it is not one (too short or
// another ID).
std::uint16_t opCode(const QByteArray &datagram);

// ArtPoll as this tool sends it: protocol 14, no flags (replies to the
// poll only), no targeted mode.
QByteArray encodePoll();
bool isPoll(const QByteArray &datagram);

// An ArtPollReply as read. Fields a short reply leaves out read as zero;
// names keep their bytes up to their first zero (or the whole field when it
// has none).
struct PollReply {
    std::uint32_t ipField = 0; // the IP field, first octet in the high byte
    std::uint16_t udpPort = 0;
    std::uint16_t firmware = 0;
    std::uint8_t netSwitch = 0;
    std::uint8_t subSwitch = 0;
    std::uint16_t oem = 0;
    std::uint8_t ubeaVersion = 0;
    std::uint8_t status1 = 0;
    std::uint16_t estaMan = 0;
    QByteArray shortName;
    QByteArray longName;
    QByteArray nodeReport;
    std::uint16_t numPorts = 0;
    std::array<std::uint8_t, PortsPerReply> portTypes{};
    std::array<std::uint8_t, PortsPerReply> goodInput{};
    std::array<std::uint8_t, PortsPerReply> goodOutput{};
    std::array<std::uint8_t, PortsPerReply> swIn{};
    std::array<std::uint8_t, PortsPerReply> swOut{};
    std::uint8_t acnPriority = 0;
    std::uint8_t swMacro = 0;
    std::uint8_t swRemote = 0;
    std::uint8_t style = 0;
    std::array<std::uint8_t, MacSize> mac{};
    std::uint32_t bindIp = 0;
    std::uint8_t bindIndex = 0;
    std::uint8_t status2 = 0;

    bool operator==(const PollReply &other) const;
    bool operator!=(const PollReply &other) const { return !(*this == other); }

    // The port-addresses of the ports that output (PortTypes bit 7), among
    // the first NumPorts (at most four), in port order.
    std::vector<int> outputPortAddresses() const;
    bool hasMac() const; // false when the MAC is all zero (unknown)
    QString macText() const; // "00:1a:2b:3c:4d:5e"
    QString shortNameText() const;
    QString longNameText() const;
    QString firmwareText() const; // "1.2" from the high and low bytes
};

// Reads an ArtPollReply: false, with `reply` untouched, when the datagram is
// not one or is shorter than its IP field. Never reads past the datagram.
bool decodePollReply(const QByteArray &datagram, PollReply &reply);
// The full 239-byte reply; names are cut to their field (a shorter name
// keeps its terminating zero; one that fills its field, as read from a node
// that sent it so, has none).
QByteArray encodePollReply(const PollReply &reply);

struct DmxPacket {
    std::uint8_t sequence = 0; // 1..255 wrapping, 0: not used
    std::uint8_t physical = 0;
    int portAddress = 0;
    QByteArray data; // 2..512 bytes, even
};

// ArtDmx: the data is cut to 512 bytes and padded with zeros to an even
// length of at least 2.
QByteArray encodeDmx(const DmxPacket &packet);
// false when the datagram is not an ArtDmx or its length field is odd, out
// of 2..512, or longer than what the datagram carries.
bool decodeDmx(const QByteArray &datagram, DmxPacket &packet);

// The next ArtDmx sequence number after `sequence`: 1..255, skipping 0.
std::uint8_t nextSequence(std::uint8_t sequence);

} // namespace ArtNet

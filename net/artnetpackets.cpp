#include "net/artnetpackets.h"

#include <algorithm>

namespace ArtNet {

namespace {

constexpr char Id[] = "Art-Net"; // with its terminating zero: 8 bytes
constexpr int IdSize = sizeof Id;
constexpr int OpCodeOffset = 8;
constexpr int HeaderSize = 10;
constexpr int ProtVerOffset = 10; // hi, lo

constexpr int NetBits = 8;
constexpr int SubNetBits = 4;
constexpr int ByteBits = 8;
constexpr int LowByte = 0xFF;

// ArtPoll
constexpr int PollFlagsOffset = 12;

// ArtPollReply
namespace Reply {
constexpr int Ip = 10;
constexpr int Port = 14;       // little-endian
constexpr int Firmware = 16;   // hi, lo
constexpr int NetSwitch = 18;
constexpr int SubSwitch = 19;
constexpr int Oem = 20;        // hi, lo
constexpr int UbeaVersion = 22;
constexpr int Status1 = 23;
constexpr int EstaMan = 24;    // little-endian
constexpr int ShortName = 26;
constexpr int LongName = 44;
constexpr int NodeReport = 108;
constexpr int NumPorts = 172;  // hi, lo
constexpr int PortTypes = 174;
constexpr int GoodInput = 178;
constexpr int GoodOutput = 182;
constexpr int SwIn = 186;
constexpr int SwOut = 190;
constexpr int AcnPriority = 194;
constexpr int SwMacro = 195;
constexpr int SwRemote = 196;
constexpr int Style = 200;
constexpr int Mac = 201;
constexpr int BindIp = 207;
constexpr int BindIndex = 211;
constexpr int Status2 = 212;
constexpr int MinimumSize = Port; // through the IP field
} // namespace Reply

// ArtDmx
namespace Dmx {
constexpr int Sequence = 12;
constexpr int Physical = 13;
constexpr int SubUni = 14;
constexpr int Net = 15;
constexpr int Length = 16; // hi, lo
constexpr int Data = 18;
} // namespace Dmx

constexpr int OutputPortBit = 0x80;
constexpr int SwitchNibble = 0x0F;

// Reads from a datagram as a short reply allows: what lies past its end
// reads as zero.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes) : bytes(bytes) {}

    std::uint8_t byte(int offset) const
    {
        return offset < bytes.size() ? static_cast<std::uint8_t>(bytes.at(offset)) : 0;
    }
    std::uint16_t bigEndian16(int offset) const
    {
        return static_cast<std::uint16_t>(byte(offset) << ByteBits | byte(offset + 1));
    }
    std::uint16_t littleEndian16(int offset) const
    {
        return static_cast<std::uint16_t>(byte(offset + 1) << ByteBits | byte(offset));
    }
    std::uint32_t bigEndian32(int offset) const
    {
        return static_cast<std::uint32_t>(bigEndian16(offset)) << (2 * ByteBits)
               | bigEndian16(offset + 2);
    }
    template <std::size_t N>
    std::array<std::uint8_t, N> array(int offset) const
    {
        std::array<std::uint8_t, N> values{};
        for (std::size_t i = 0; i < N; ++i)
            values[i] = byte(offset + static_cast<int>(i));
        return values;
    }
    // The field's bytes up to the first zero, within the datagram.
    QByteArray text(int offset, int size) const
    {
        const int available = std::clamp(static_cast<int>(bytes.size()) - offset, 0, size);
        const QByteArray field = bytes.mid(offset, available);
        const int end = field.indexOf('\0');
        return end < 0 ? field : field.left(end);
    }

private:
    const QByteArray &bytes;
};

class Writer
{
public:
    explicit Writer(int size) : bytes(size, '\0') {}

    void byte(int offset, int value) { bytes[offset] = static_cast<char>(value & LowByte); }
    void bigEndian16(int offset, int value)
    {
        byte(offset, value >> ByteBits);
        byte(offset + 1, value);
    }
    void littleEndian16(int offset, int value)
    {
        byte(offset, value);
        byte(offset + 1, value >> ByteBits);
    }
    void bigEndian32(int offset, std::uint32_t value)
    {
        bigEndian16(offset, static_cast<int>(value >> (2 * ByteBits)));
        bigEndian16(offset + 2, static_cast<int>(value));
    }
    template <std::size_t N>
    void array(int offset, const std::array<std::uint8_t, N> &values)
    {
        for (std::size_t i = 0; i < N; ++i)
            byte(offset + static_cast<int>(i), values[i]);
    }
    // Cut to the field; a shorter name keeps its terminating zero.
    void text(int offset, int size, const QByteArray &value)
    {
        const QByteArray cut = value.left(size);
        std::copy(cut.begin(), cut.end(), bytes.begin() + offset);
    }
    void header(std::uint16_t op)
    {
        std::copy(Id, Id + IdSize, bytes.begin());
        littleEndian16(OpCodeOffset, op);
    }
    void protocolVersion() { bigEndian16(ProtVerOffset, ProtocolVersion); }

    QByteArray bytes;
};

} // namespace

int packPortAddress(int net, int subNet, int universe)
{
    return (net & MaxNet) << NetBits | (subNet & MaxSubNet) << SubNetBits
           | (universe & MaxUniverse);
}

PortAddressParts unpackPortAddress(int portAddress)
{
    const int cut = portAddress & MaxPortAddress;
    return {cut >> NetBits, (cut >> SubNetBits) & MaxSubNet, cut & MaxUniverse};
}

QString portAddressText(int portAddress)
{
    const PortAddressParts parts = unpackPortAddress(portAddress);
    return QStringLiteral("%1.%2.%3").arg(parts.net).arg(parts.subNet).arg(parts.universe);
}

std::uint16_t opCode(const QByteArray &datagram)
{
    if (datagram.size() < HeaderSize || !std::equal(Id, Id + IdSize, datagram.begin()))
        return 0;
    return Reader(datagram).littleEndian16(OpCodeOffset);
}

QByteArray encodePoll()
{
    Writer writer(PollSize);
    writer.header(OpPoll);
    writer.protocolVersion();
    writer.byte(PollFlagsOffset, 0);
    return writer.bytes;
}

bool isPoll(const QByteArray &datagram)
{
    return opCode(datagram) == OpPoll;
}

bool PollReply::operator==(const PollReply &other) const
{
    return ipField == other.ipField && udpPort == other.udpPort && firmware == other.firmware
           && netSwitch == other.netSwitch && subSwitch == other.subSwitch && oem == other.oem
           && ubeaVersion == other.ubeaVersion && status1 == other.status1
           && estaMan == other.estaMan && shortName == other.shortName
           && longName == other.longName && nodeReport == other.nodeReport
           && numPorts == other.numPorts && portTypes == other.portTypes
           && goodInput == other.goodInput && goodOutput == other.goodOutput
           && swIn == other.swIn && swOut == other.swOut && acnPriority == other.acnPriority
           && swMacro == other.swMacro && swRemote == other.swRemote && style == other.style
           && mac == other.mac && bindIp == other.bindIp && bindIndex == other.bindIndex
           && status2 == other.status2;
}

std::vector<int> PollReply::outputPortAddresses() const
{
    std::vector<int> addresses;
    const int ports = std::min<int>(numPorts, PortsPerReply);
    for (int port = 0; port < ports; ++port) {
        if (portTypes[static_cast<std::size_t>(port)] & OutputPortBit)
            addresses.push_back(packPortAddress(netSwitch, subSwitch & SwitchNibble,
                                                swOut[static_cast<std::size_t>(port)]));
    }
    return addresses;
}

bool PollReply::hasMac() const
{
    return std::any_of(mac.begin(), mac.end(), [](std::uint8_t octet) { return octet != 0; });
}

QString PollReply::macText() const
{
    QStringList octets;
    for (const std::uint8_t octet : mac)
        octets << QStringLiteral("%1").arg(octet, 2, 16, QLatin1Char('0'));
    return octets.join(QLatin1Char(':'));
}

QString PollReply::shortNameText() const
{
    return QString::fromLatin1(shortName);
}

QString PollReply::longNameText() const
{
    return QString::fromLatin1(longName);
}

QString PollReply::firmwareText() const
{
    return QStringLiteral("%1.%2").arg(firmware >> ByteBits).arg(firmware & LowByte);
}

bool decodePollReply(const QByteArray &datagram, PollReply &reply)
{
    if (opCode(datagram) != OpPollReply || datagram.size() < Reply::MinimumSize)
        return false;
    const Reader in(datagram);
    PollReply read;
    read.ipField = in.bigEndian32(Reply::Ip);
    read.udpPort = in.littleEndian16(Reply::Port);
    read.firmware = in.bigEndian16(Reply::Firmware);
    read.netSwitch = in.byte(Reply::NetSwitch);
    read.subSwitch = in.byte(Reply::SubSwitch);
    read.oem = in.bigEndian16(Reply::Oem);
    read.ubeaVersion = in.byte(Reply::UbeaVersion);
    read.status1 = in.byte(Reply::Status1);
    read.estaMan = in.littleEndian16(Reply::EstaMan);
    read.shortName = in.text(Reply::ShortName, ShortNameSize);
    read.longName = in.text(Reply::LongName, LongNameSize);
    read.nodeReport = in.text(Reply::NodeReport, NodeReportSize);
    read.numPorts = in.bigEndian16(Reply::NumPorts);
    read.portTypes = in.array<PortsPerReply>(Reply::PortTypes);
    read.goodInput = in.array<PortsPerReply>(Reply::GoodInput);
    read.goodOutput = in.array<PortsPerReply>(Reply::GoodOutput);
    read.swIn = in.array<PortsPerReply>(Reply::SwIn);
    read.swOut = in.array<PortsPerReply>(Reply::SwOut);
    read.acnPriority = in.byte(Reply::AcnPriority);
    read.swMacro = in.byte(Reply::SwMacro);
    read.swRemote = in.byte(Reply::SwRemote);
    read.style = in.byte(Reply::Style);
    read.mac = in.array<MacSize>(Reply::Mac);
    read.bindIp = in.bigEndian32(Reply::BindIp);
    read.bindIndex = in.byte(Reply::BindIndex);
    read.status2 = in.byte(Reply::Status2);
    reply = read;
    return true;
}

QByteArray encodePollReply(const PollReply &reply)
{
    Writer out(PollReplySize);
    out.header(OpPollReply);
    out.bigEndian32(Reply::Ip, reply.ipField);
    out.littleEndian16(Reply::Port, reply.udpPort);
    out.bigEndian16(Reply::Firmware, reply.firmware);
    out.byte(Reply::NetSwitch, reply.netSwitch);
    out.byte(Reply::SubSwitch, reply.subSwitch);
    out.bigEndian16(Reply::Oem, reply.oem);
    out.byte(Reply::UbeaVersion, reply.ubeaVersion);
    out.byte(Reply::Status1, reply.status1);
    out.littleEndian16(Reply::EstaMan, reply.estaMan);
    out.text(Reply::ShortName, ShortNameSize, reply.shortName);
    out.text(Reply::LongName, LongNameSize, reply.longName);
    out.text(Reply::NodeReport, NodeReportSize, reply.nodeReport);
    out.bigEndian16(Reply::NumPorts, reply.numPorts);
    out.array(Reply::PortTypes, reply.portTypes);
    out.array(Reply::GoodInput, reply.goodInput);
    out.array(Reply::GoodOutput, reply.goodOutput);
    out.array(Reply::SwIn, reply.swIn);
    out.array(Reply::SwOut, reply.swOut);
    out.byte(Reply::AcnPriority, reply.acnPriority);
    out.byte(Reply::SwMacro, reply.swMacro);
    out.byte(Reply::SwRemote, reply.swRemote);
    out.byte(Reply::Style, reply.style);
    out.array(Reply::Mac, reply.mac);
    out.bigEndian32(Reply::BindIp, reply.bindIp);
    out.byte(Reply::BindIndex, reply.bindIndex);
    out.byte(Reply::Status2, reply.status2);
    return out.bytes;
}

QByteArray encodeDmx(const DmxPacket &packet)
{
    QByteArray data = packet.data.left(DmxMaxChannels);
    const int length = std::max(DmxMinChannels, static_cast<int>(data.size() + 1) / 2 * 2);
    data.append(QByteArray(length - data.size(), '\0'));
    Writer out(Dmx::Data);
    out.header(OpDmx);
    out.protocolVersion();
    out.byte(Dmx::Sequence, packet.sequence);
    out.byte(Dmx::Physical, packet.physical);
    out.byte(Dmx::SubUni, packet.portAddress);
    out.byte(Dmx::Net, (packet.portAddress & MaxPortAddress) >> NetBits);
    out.bigEndian16(Dmx::Length, length);
    return out.bytes + data;
}

bool decodeDmx(const QByteArray &datagram, DmxPacket &packet)
{
    if (opCode(datagram) != OpDmx || datagram.size() < DmxHeaderSize)
        return false;
    const Reader in(datagram);
    const int length = in.bigEndian16(Dmx::Length);
    if (length % 2 != 0 || length < DmxMinChannels || length > DmxMaxChannels
        || length > datagram.size() - DmxHeaderSize)
        return false;
    packet.sequence = in.byte(Dmx::Sequence);
    packet.physical = in.byte(Dmx::Physical);
    packet.portAddress = (in.byte(Dmx::Net) & MaxNet) << NetBits | in.byte(Dmx::SubUni);
    packet.data = datagram.mid(Dmx::Data, length);
    return true;
}

std::uint8_t nextSequence(std::uint8_t sequence)
{
    return sequence == LowByte ? 1 : static_cast<std::uint8_t>(sequence + 1);
}

} // namespace ArtNet

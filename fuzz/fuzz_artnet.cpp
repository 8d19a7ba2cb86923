// What comes from the network, as the discovery and the simulated node take
// it: any datagram decodes without fault and without reading past its end;
// a reply or an ArtDmx that decodes re-encodes to the fields read; the list
// of nodes, its conflicts and its lines take any reply.

#include "fuzzcheck.h"

#include "net/artnetpackets.h"
#include "net/nodeconflicts.h"
#include "net/nodetable.h"
#include "net/nodetext.h"

#include <QCoreApplication>

#include <algorithm>

using namespace ArtNet;

namespace {

constexpr int IdAndOpCode = 10;
constexpr int DmxProtVer = 10;
constexpr int DmxNet = 15;
constexpr int NetHighBit = 0x80;
// Reply bytes the reply keeps: from the IP field to the names, and from
// NumPorts to Status2 but the spare bytes (197..199).
constexpr int NamesFirst = 26;
constexpr int NamesEnd = 172;
constexpr int SpareFirst = 197;
constexpr int SpareEnd = 200;
constexpr int KeptEnd = 213;

QString hexOf(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

bool keptByteOfReply(int offset)
{
    return offset >= IdAndOpCode && offset < KeptEnd && (offset < NamesFirst || offset >= NamesEnd)
           && (offset < SpareFirst || offset >= SpareEnd);
}

void checkReply(const QByteArray &datagram)
{
    PollReply reply;
    if (!decodePollReply(datagram, reply))
        return;
    // Missing fields read as zero: the datagram padded with zeros reads the same.
    PollReply padded;
    fuzzCheck(decodePollReply(datagram + QByteArray(PollReplySize, '\0'), padded) && padded == reply,
              "a short reply reads as its zero-padded self", hexOf(datagram));

    const QByteArray encoded = encodePollReply(reply);
    PollReply again;
    fuzzCheck(decodePollReply(encoded, again) && again == reply, "a reply re-encodes to what was read",
              hexOf(datagram));
    const int compared = std::min<int>(datagram.size(), PollReplySize);
    for (int offset = 0; offset < compared; ++offset) {
        if (keptByteOfReply(offset))
            fuzzCheck(encoded[offset] == datagram[offset], "a reply's fields re-encode byte for byte",
                      QStringLiteral("offset %1 of %2").arg(offset).arg(hexOf(datagram)));
    }

    NodeTable table(1);
    table.record(QHostAddress(QStringLiteral("127.0.0.2")), reply, 0);
    table.record(QHostAddress(QStringLiteral("127.0.0.2")), PollReply{}, 0);
    for (const SeenNode &node : table.nodes()) {
        const QString line = nodeLine(node);
        fuzzCheck(!line.isEmpty(), "a node has a line");
        fuzzCheck(std::none_of(line.begin(), line.end(),
                               [](QChar c) { return c.category() == QChar::Other_Control; }),
                  "a node's line holds no control character", hexOf(datagram));
    }
    for (const NodeConflict &conflict : findConflicts(table.nodes()))
        fuzzCheck(!conflict.reason.isEmpty(), "a conflict says why");
}

void checkDmx(const QByteArray &datagram)
{
    DmxPacket packet;
    if (!decodeDmx(datagram, packet))
        return;
    fuzzCheck(packet.data.size() <= datagram.size() - DmxHeaderSize, "ArtDmx data lies in the datagram",
              hexOf(datagram));
    const QByteArray encoded = encodeDmx(packet);
    // What the packet does not keep: the protocol version and the net
    // byte's unused high bit.
    QByteArray expected = datagram.left(encoded.size());
    expected[DmxProtVer] = encoded[DmxProtVer];
    expected[DmxProtVer + 1] = encoded[DmxProtVer + 1];
    expected[DmxNet] = static_cast<char>(expected[DmxNet] & ~NetHighBit);
    fuzzCheck(encoded == expected, "an ArtDmx re-encodes to what was read",
              QStringLiteral("read    %1\nwritten %2").arg(hexOf(datagram), hexOf(encoded)));
}

// The input as it is, then behind an Art-Net header whose OpCode the first
// byte chooses, so that every packet's fields are reached.
QByteArray withHeader(const QByteArray &input)
{
    static const std::uint16_t OpCodes[] = {OpPollReply, OpDmx, OpPoll};
    const std::uint16_t op = input.isEmpty() ? OpPollReply : OpCodes[static_cast<std::uint8_t>(input[0]) % 3];
    QByteArray header("Art-Net\0", 8);
    header.append(static_cast<char>(op & 0xFF));
    header.append(static_cast<char>(op >> 8));
    return header + input.mid(1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // A copy of exactly the input's bytes: a read past them is a read past
    // the allocation.
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    for (const QByteArray &datagram : {input, withHeader(input)}) {
        opCode(datagram);
        isPoll(datagram);
        checkReply(datagram);
        checkDmx(datagram);
    }
    return 0;
}

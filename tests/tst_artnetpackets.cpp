// The Art-Net packets byte for byte, against layouts written out here from
// the protocol's published tables (offsets and byte order), not from the
// codec's own constants.

#include "net/artnetpackets.h"

#include <QtTest>

using namespace ArtNet;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

const QByteArray Id("Art-Net\0", 8);

QByteArray fromHex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

// A reply of `size` bytes, zeros but the bytes placed at their offsets.
QByteArray replyBytes(int size, const std::vector<std::pair<int, QByteArray>> &fields)
{
    QByteArray bytes(std::max(size, 239), '\0');
    bytes.replace(0, 8, Id);
    bytes[8] = 0x00;
    bytes[9] = 0x21;
    for (const auto &field : fields)
        bytes.replace(field.first, field.second.size(), field.second);
    return bytes.left(size);
}

// Every field of the table with a value of its own, so that a shifted or
// swapped field shows.
QByteArray fullReply(int size)
{
    return replyBytes(size, {
        {10, fromHex("02 00 00 0f")},      // IP 2.0.0.15
        {14, fromHex("36 19")},            // Port 0x1936, low byte first
        {16, fromHex("01 02")},            // VersInfo hi, lo
        {18, fromHex("03")},               // NetSwitch
        {19, fromHex("04")},               // SubSwitch
        {20, fromHex("05 06")},            // Oem hi, lo
        {22, fromHex("07 08")},            // UbeaVersion, Status1
        {24, fromHex("09 0a")},            // EstaMan lo, hi
        {26, QByteArray("short\0", 6)},
        {44, QByteArray("long name\0", 10)},
        {108, QByteArray("#0001 [0002] ok\0", 16)},
        {172, fromHex("00 03")},           // NumPorts hi, lo
        {174, fromHex("80 80 40 80")},     // PortTypes: output, output, input, output
        {178, fromHex("11 12 13 14")},     // GoodInput
        {182, fromHex("21 22 23 24")},     // GoodOutputA
        {186, fromHex("31 32 33 34")},     // SwIn
        {190, fromHex("01 02 03 0f")},     // SwOut
        {194, fromHex("41 42 43")},        // AcnPriority, SwMacro, SwRemote
        {200, fromHex("00")},              // Style
        {201, fromHex("00 1a 2b 3c 4d 5e")}, // MAC hi first
        {207, fromHex("02 00 00 10")},     // BindIp
        {211, fromHex("02")},              // BindIndex
        {212, fromHex("0e")},              // Status2
    });
}

} // namespace

class TestArtNetPackets : public QObject
{
    Q_OBJECT

private slots:
    void pollIsTheTableSPacket()
    {
        // ID, OpPoll low byte first, ProtVer 0 14, Flags, DiagPriority,
        // target port-addresses, EstaMan, Oem.
        QCOMPARE(encodePoll().toHex(' '),
                 fromHex("41 72 74 2d 4e 65 74 00 00 20 00 0e 00 00 00 00 00 00 00 00 00 00")
                     .toHex(' '));
    }

    void dmxIsTheTableSPacket_data()
    {
        QTest::addColumn<int>("portAddress");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");

        const QByteArray header = Id + fromHex("00 50 00 0e 07 00");
        QTest::newRow("sub-net and net, length high byte first")
            << 0x1234 << fromHex("aa bb cc dd") << header + fromHex("34 12 00 04 aa bb cc dd");
        QTest::newRow("odd length padded to even")
            << 1 << fromHex("aa bb cc") << header + fromHex("01 00 00 04 aa bb cc 00");
        QTest::newRow("no data: two zeros") << 0 << QByteArray() << header + fromHex("00 00 00 02 00 00");
        QTest::newRow("highest port-address") << 0x7FFF << fromHex("01 02")
                                               << header + fromHex("ff 7f 00 02 01 02");
        QTest::newRow("513 bytes cut to 512")
            << 0x0100 << QByteArray(513, '\x05')
            << header + fromHex("00 01 02 00") + QByteArray(512, '\x05');
    }

    void dmxIsTheTableSPacket()
    {
        QFETCH(int, portAddress);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        DmxPacket packet;
        packet.sequence = 7;
        packet.portAddress = portAddress;
        packet.data = data;
        const QByteArray encoded = encodeDmx(packet);
        QCOMPARE(encoded.toHex(' '), expected.toHex(' '));

        DmxPacket decoded;
        QVERIFY(decodeDmx(encoded, decoded));
        QCOMPARE(decoded.portAddress, portAddress);
        QCOMPARE(decoded.data, expected.mid(18));
    }

    void malformedDmxIsRefused_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray header = Id + fromHex("00 50 00 0e 01 00 00 00");
        QTest::newRow("odd length") << header + fromHex("00 03 01 02 03 00");
        QTest::newRow("zero length") << header + fromHex("00 00");
        QTest::newRow("longer than the datagram") << header + fromHex("00 04 01 02");
        QTest::newRow("over 512") << header + fromHex("02 02") + QByteArray(514, '\0');
        QTest::newRow("header cut") << header.left(17);
        QTest::newRow("another ID") << QByteArray("Art-Nat\0", 8) + fromHex("00 50 00 0e 01 00 00 00 00 02 00 00");
        QTest::newRow("a poll") << encodePoll();
    }

    void malformedDmxIsRefused()
    {
        QFETCH(QByteArray, datagram);
        DmxPacket packet;
        QVERIFY(!decodeDmx(datagram, packet));
    }

    void replyFieldsAreReadWhereTheTableSaysEvenShort_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("hasPorts");
        QTest::addColumn<bool>("hasMac");
        QTest::addColumn<bool>("hasBind");

        QTest::newRow("full 239") << 239 << true << true << true;
        QTest::newRow("longer than the table") << 400 << true << true << true;
        QTest::newRow("207, without Status2") << 207 << true << true << false;
        QTest::newRow("older 198, no MAC nor bind") << 198 << true << false << false;
        QTest::newRow("cut before the ports") << 172 << false << false << false;
    }

    void replyFieldsAreReadWhereTheTableSaysEvenShort()
    {
        QFETCH(int, size);
        QFETCH(bool, hasPorts);
        QFETCH(bool, hasMac);
        QFETCH(bool, hasBind);

        PollReply reply;
        QVERIFY(decodePollReply(fullReply(size), reply));
        QCOMPARE(QHostAddressText(reply.ipField), QStringLiteral("2.0.0.15"));
        QCOMPARE(reply.udpPort, std::uint16_t(6454));
        QCOMPARE(reply.firmware, std::uint16_t(0x0102));
        QCOMPARE(reply.firmwareText(), QStringLiteral("1.2"));
        QCOMPARE(reply.oem, std::uint16_t(0x0506));
        QCOMPARE(reply.estaMan, std::uint16_t(0x0a09));
        QCOMPARE(reply.shortName, QByteArray("short"));
        QCOMPARE(reply.longName, QByteArray("long name"));
        QCOMPARE(reply.nodeReport, QByteArray("#0001 [0002] ok"));
        if (hasPorts) {
            // Ports 1 and 2 output, port 3 is an input, port 4 beyond NumPorts.
            QCOMPARE(reply.outputPortAddresses(), (std::vector<int>{0x0341, 0x0342}));
            QCOMPARE(reply.swIn[3], std::uint8_t(0x34));
        } else {
            QVERIFY(reply.outputPortAddresses().empty());
        }
        QCOMPARE(reply.hasMac(), hasMac);
        QCOMPARE(reply.macText(), hasMac ? QStringLiteral("00:1a:2b:3c:4d:5e")
                                         : QStringLiteral("00:00:00:00:00:00"));
        QCOMPARE(reply.bindIndex, std::uint8_t(hasBind ? 2 : 0));
        QCOMPARE(reply.bindIp, hasBind ? 0x02000010u : 0u);
        QCOMPARE(reply.status2, std::uint8_t(hasBind ? 0x0e : 0));
    }

    void replyNamesWithAndWithoutTheirZero_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("terminated") << QByteArray("abc\0xyz", 7) << QByteArray("abc");
        QTest::newRow("fills the field, no zero")
            << QByteArray(18, 'N') << QByteArray(18, 'N');
        QTest::newRow("empty") << QByteArray(18, '\0') << QByteArray();
    }

    void replyNamesWithAndWithoutTheirZero()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, name);
        PollReply reply;
        // The long name follows at once: a name without its zero must not
        // run into it.
        QVERIFY(decodePollReply(replyBytes(239, {{26, field}, {44, QByteArray("LONG\0", 5)}}), reply));
        QCOMPARE(reply.shortName, name);
        QCOMPARE(reply.longName, QByteArray("LONG"));
    }

    void malformedRepliesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("ID only") << Id;
        QTest::newRow("cut in the IP field") << fullReply(13);
        QTest::newRow("another opcode") << fullReply(239).replace(8, 2, fromHex("00 20"));
        QTest::newRow("opcode high byte first") << fullReply(239).replace(8, 2, fromHex("21 00"));
        QTest::newRow("ID without its zero") << fullReply(239).replace(7, 1, "!");
    }

    void malformedRepliesAreRefused()
    {
        QFETCH(QByteArray, datagram);
        PollReply reply;
        reply.shortName = "kept";
        QVERIFY(!decodePollReply(datagram, reply));
        QCOMPARE(reply.shortName, QByteArray("kept"));
    }

    void replyReEncodesToWhatWasRead()
    {
        PollReply reply;
        QVERIFY(decodePollReply(fullReply(239), reply));
        QCOMPARE(encodePollReply(reply).toHex(' '), fullReply(239).toHex(' '));
    }

    void portAddressPacking_data()
    {
        QTest::addColumn<int>("net");
        QTest::addColumn<int>("subNet");
        QTest::addColumn<int>("universe");
        QTest::addColumn<int>("portAddress");
        QTest::addColumn<QString>("text");

        QTest::newRow("first") << 0 << 0 << 0 << 0 << "0.0.0";
        QTest::newRow("universe 15") << 0 << 0 << 15 << 15 << "0.0.15";
        QTest::newRow("next sub-net") << 0 << 1 << 0 << 16 << "0.1.0";
        QTest::newRow("last of net 0") << 0 << 15 << 15 << 255 << "0.15.15";
        QTest::newRow("next net") << 1 << 0 << 0 << 256 << "1.0.0";
        QTest::newRow("last") << 127 << 15 << 15 << 32767 << "127.15.15";
    }

    void portAddressPacking()
    {
        QFETCH(int, net);
        QFETCH(int, subNet);
        QFETCH(int, universe);
        QFETCH(int, portAddress);
        QFETCH(QString, text);
        QCOMPARE(packPortAddress(net, subNet, universe), portAddress);
        const PortAddressParts parts = unpackPortAddress(portAddress);
        QCOMPARE(parts.net, net);
        QCOMPARE(parts.subNet, subNet);
        QCOMPARE(parts.universe, universe);
        QCOMPARE(portAddressText(portAddress), text);
    }

    void outOfRangePartsStayInTheirBits_data()
    {
        QTest::addColumn<int>("net");
        QTest::addColumn<int>("subNet");
        QTest::addColumn<int>("universe");
        QTest::addColumn<int>("portAddress");
        // A switch byte's upper bits must not spill into the next field.
        QTest::newRow("universe 16") << 0 << 0 << 16 << 0;
        QTest::newRow("sub-net 0x1F") << 0 << 0x1F << 0 << 0xF0;
        QTest::newRow("net 0x80") << 0x80 << 0 << 0 << 0;
    }

    void outOfRangePartsStayInTheirBits()
    {
        QFETCH(int, net);
        QFETCH(int, subNet);
        QFETCH(int, universe);
        QFETCH(int, portAddress);
        QCOMPARE(packPortAddress(net, subNet, universe), portAddress);
    }

private:
    static QString QHostAddressText(std::uint32_t ip)
    {
        return QStringLiteral("%1.%2.%3.%4")
            .arg(ip >> 24).arg((ip >> 16) & 0xFF).arg((ip >> 8) & 0xFF).arg(ip & 0xFF);
    }
};

QTEST_GUILESS_MAIN(TestArtNetPackets)
#include "tst_artnetpackets.moc"

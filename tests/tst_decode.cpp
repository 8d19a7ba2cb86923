// Decoding of a node report into the display texts and back. This
// executable also runs under a French locale; the texts must not change.

#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "testsupport.h"

#include <QStringList>
#include <QtTest>

#include <cstdint>

Q_DECLARE_METATYPE(NodeReport)

namespace {

constexpr int DecodedSlots = 32;
constexpr std::size_t CapacityOffset = 33;
constexpr std::size_t ChipOffset = 13;
const QString Untouched = QStringLiteral("untouched");

// The report offset that each display slot shows, written out in full.
constexpr std::size_t SlotOffsets[DecodedSlots] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,                 // addresses
    14, 15,                                                         // clocks
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, // patches
    32,                                                             // universe offset
    33};                                                            // capacity

// Deterministic pseudo-random bytes, so failures can be reproduced.
NodeReport scrambled(std::uint32_t seed)
{
    NodeReport report{};
    for (auto &byte : report) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    return report;
}

QStringList decodedTexts()
{
    QStringList texts;
    for (int slot = 0; slot < DecodedSlots; ++slot)
        texts << DisplayFields[slot];
    return texts;
}

} // namespace

class TestDecode : public QObject
{
    Q_OBJECT

private slots:
    void decodesEverySlot_data();
    void decodesEverySlot();
    void offsetReachesOnlyItsSlot_data();
    void offsetReachesOnlyItsSlot();
    void secondDecodingReplacesFirst();
    void encodeRestoresReport_data();
    void encodeRestoresReport();
};

void TestDecode::decodesEverySlot_data()
{
    QTest::addColumn<NodeReport>("report");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("chip");

    QTest::newRow("sample") << sampleConfiguration()
                            << QStringList{"192", "168", "1",   "50",  "255", "255", "255", "0",
                                           "192", "168", "1",   "255", "0,8", "0,8", "1",   "2",
                                           "3",   "4",   "5",   "6",   "7",   "8",   "9",   "10",
                                           "11",  "12",  "13",  "14",  "15",  "16",  "3",   "16"}
                            << 2;

    QStringList zeros;
    for (int slot = 0; slot < DecodedSlots - 1; ++slot)
        zeros << "0";
    QTest::newRow("zeros") << NodeReport{} << zeros + QStringList{"8"} << 0;

    NodeReport full;
    full.fill(255);
    QStringList highest;
    for (int slot = 0; slot < DecodedSlots - 1; ++slot)
        highest << "255";
    highest[12] = highest[13] = "12,75";
    QTest::newRow("all 255") << full << highest + QStringList{"16"} << 255;

    QStringList distinct;
    NodeReport stepped{};
    for (std::size_t offset = 1; offset <= 32; ++offset)
        stepped[offset] = static_cast<std::uint8_t>(offset);
    stepped[CapacityOffset] = 9;
    stepped[ChipOffset] = 200;
    for (int slot = 0; slot < DecodedSlots - 1; ++slot)
        distinct << QString::number(SlotOffsets[slot]);
    distinct[12] = "0,7";
    distinct[13] = "0,75";
    QTest::newRow("each byte its offset, chip 200 kept")
        << stepped << distinct + QStringList{"16"} << 200;

    QStringList clocks = zeros;
    clocks[12] = "0,15";
    clocks[13] = "12,75";
    QTest::newRow("odd clocks, capacity 8")
        << reportWith({{14, 3}, {15, 255}, {33, 8}}) << clocks + QStringList{"8"} << 0;
    QTest::newRow("capacity 16") << reportWith({{33, 16}}) << zeros + QStringList{"16"} << 0;
    QTest::newRow("capacity 1") << reportWith({{33, 1}}) << zeros + QStringList{"16"} << 0;
    QTest::newRow("capacity 24") << reportWith({{33, 24}}) << zeros + QStringList{"16"} << 0;
}

void TestDecode::decodesEverySlot()
{
    QFETCH(NodeReport, report);
    QFETCH(QStringList, texts);
    QFETCH(int, chip);
    QCOMPARE(texts.size(), DecodedSlots);

    resetSharedState();
    for (int slot = DecodedSlots; slot < int(DisplayFields.size()); ++slot)
        DisplayFields[slot] = Untouched;
    outputTypeIndex = -7;
    const NodeReport before = report;

    decodeReport(report);

    QCOMPARE(decodedTexts(), texts);
    QCOMPARE(outputTypeIndex, chip);
    QVERIFY(dataReady);
    QCOMPARE(report, before);
    for (int slot = DecodedSlots; slot < int(DisplayFields.size()); ++slot)
        QCOMPARE(DisplayFields[slot], Untouched);
}

void TestDecode::offsetReachesOnlyItsSlot_data()
{
    // Each offset is changed on its own; -1 means no slot may change.
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("chipChanges");
    for (int slot = 0; slot < DecodedSlots; ++slot) {
        const int offset = static_cast<int>(SlotOffsets[slot]);
        QTest::addRow("offset %d", offset) << offset << slot << false;
    }
    QTest::newRow("chip") << int(ChipOffset) << -1 << true;
    QTest::newRow("command") << 0 << -1 << false;
    for (int offset = 34; offset < 64; ++offset)
        QTest::addRow("reserved %d", offset) << offset << -1 << false;
}

void TestDecode::offsetReachesOnlyItsSlot()
{
    QFETCH(int, offset);
    QFETCH(int, slot);
    QFETCH(bool, chipChanges);

    resetSharedState();
    const NodeReport original = sampleConfiguration();
    decodeReport(original);
    const QStringList before = decodedTexts();
    const int chipBefore = outputTypeIndex;

    NodeReport changed = original;
    // The capacity code 16 must become one that reads as 8 to show.
    const auto at = static_cast<std::size_t>(offset);
    changed[at] = at == CapacityOffset ? 8 : static_cast<std::uint8_t>(original[at] + 1);
    dataReady = false;
    decodeReport(changed);
    QVERIFY(dataReady);

    const QStringList after = decodedTexts();
    for (int s = 0; s < DecodedSlots; ++s) {
        if (s == slot)
            QVERIFY2(after[s] != before[s], qPrintable(QString("slot %1 unchanged").arg(s)));
        else
            QVERIFY2(after[s] == before[s], qPrintable(QString("slot %1 changed").arg(s)));
    }
    QCOMPARE(outputTypeIndex != chipBefore, chipChanges);
}

void TestDecode::secondDecodingReplacesFirst()
{
    resetSharedState();
    decodeReport(sampleConfiguration());
    decodeReport(NodeReport{});
    QVERIFY(dataReady);
    QCOMPARE(DisplayFields[0], QString("0"));
    QCOMPARE(DisplayFields[12], QString("0"));
    QCOMPARE(DisplayFields[31], QString("8"));
    QCOMPARE(outputTypeIndex, 0);
}

void TestDecode::encodeRestoresReport_data()
{
    QTest::addColumn<NodeReport>("report");
    for (std::uint32_t seed = 1; seed <= 24; ++seed)
        QTest::addRow("scrambled %u", seed) << scrambled(seed);
    QTest::newRow("sample") << sampleConfiguration();
    QTest::newRow("zeros") << NodeReport{};
    NodeReport full;
    full.fill(255);
    QTest::newRow("all 255") << full;
}

void TestDecode::encodeRestoresReport()
{
    QFETCH(NodeReport, report);

    FieldTexts fields;
    int chip = -1;
    decodeFields(report, fields, chip);

    NodeReport encoded = scrambled(99);
    const NodeReport outside = encoded;
    encodeFields(fields, chip, encoded);

    for (std::size_t offset = 1; offset < CapacityOffset; ++offset)
        QVERIFY2(encoded[offset] == report[offset], qPrintable(QString("offset %1").arg(offset)));
    QCOMPARE(int(encoded[CapacityOffset]), capacityFromByte(report[CapacityOffset]));
    // Only the configuration bytes are written.
    QCOMPARE(encoded[0], outside[0]);
    for (std::size_t offset = 34; offset < Report::Size; ++offset)
        QVERIFY2(encoded[offset] == outside[offset], qPrintable(QString("offset %1").arg(offset)));
}

QTEST_MAIN(TestDecode)
#include "tst_decode.moc"

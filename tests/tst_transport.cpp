// The raw HID transport against the in-process hidapi: which devices it
// opens, how they are numbered, what it refuses without calling the library,
// and what each transfer outcome returns, prints and leaves behind.

#include "testsupport.h"

#include "app/sharedstate.h"
#include "sim/fakehid.h"
#include "usb/hidtransport.h"
#include "usb/nodeexchange.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

using fakehid::Fault;
using MaybeFault = std::optional<Fault>;
Q_DECLARE_METATYPE(MaybeFault)
Q_DECLARE_METATYPE(HidPacing)
Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// Room for the longest report the transport accepts and one byte more.
using TransferBuffer = std::array<std::uint8_t, HidMaxReportLength + 1>;

constexpr int AnyId = -1;
constexpr int ManyDevices = 8;
constexpr int WriteTimeoutMs = 100;
constexpr int ReadTimeoutMs = 220;
constexpr std::uint8_t Untouched = 0xEE;
constexpr int PausedAtLeastMs = 450;
constexpr int UnpausedAtMostMs = 300;
const QString EarlierStatus = QStringLiteral("statut précédent");

// The node's configuration with a letter in byte 1 that tells devices apart.
NodeReport markedConfiguration(char marker)
{
    NodeReport report = sampleConfiguration();
    report[Report::IpAddress] = static_cast<std::uint8_t>(marker);
    return report;
}

fakehid::DeviceId plugMarked(char marker, const fakehid::DeviceInfo &info = {})
{
    return fakehid::plug(markedConfiguration(marker), LargeCapacity, info);
}

// Lets the device have an answer waiting, as after a request, without a write.
void queueAnswer(fakehid::DeviceId device)
{
    const NodeReport request = reportWith({{Report::Command, cmdRequestConfig}});
    fakehid::node(device).receive(request.data(), request.size());
    fakehid::node(device).clearReceivedReports();
}

// The markers of devices 0..count-1, read back through the transport.
QByteArray markersOfOpenedDevices(int count)
{
    QByteArray markers;
    for (int n = 0; n < count; ++n) {
        NodeReport reply{};
        if (hidReceive(n, reply.data(), Report::Size, ReadTimeoutMs) == int(Report::Size))
            markers += static_cast<char>(reply[Report::IpAddress]);
        else
            markers += '?';
    }
    return markers;
}

void verifyOneErrorLine(const QByteArray &output)
{
    QVERIFY2(output.startsWith("err "), output.constData());
    QVERIFY2(output.endsWith('\n'), output.constData());
    QCOMPARE(output.count('\n'), 1);
}

} // namespace

class TransportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openFilters_data();
    void openFilters();
    void openNothingClosesAll();
    void deviceNumbering_data();
    void deviceNumbering();
    void refusedTransfers_data();
    void refusedTransfers();
    void receiveOutcomes_data();
    void receiveOutcomes();
    void sendOutcomes_data();
    void sendOutcomes();
    void releasedDevice();
    void pacing_data();
    void pacing();
};

void TransportTest::init()
{
    resetSharedState();
}

void TransportTest::openFilters_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("vendorId");
    QTest::addColumn<int>("productId");
    QTest::addColumn<int>("usagePage");
    QTest::addColumn<int>("usage");
    QTest::addColumn<QByteArray>("opened");

    // Devices A (the node), B (other product), C (other vendor),
    // D (the node's identifiers on usage page 1, usage 2), in that order.
    QTest::newRow("-1 matches all") << ManyDevices << -1 << -1 << -1 << -1 << QByteArray("ABCD");
    QTest::newRow("0 matches all") << ManyDevices << 0 << 0 << 0 << 0 << QByteArray("ABCD");
    QTest::newRow("vendor") << ManyDevices << 8137 << AnyId << AnyId << AnyId
                            << QByteArray("ABD");
    QTest::newRow("product") << ManyDevices << AnyId << 80 << AnyId << AnyId << QByteArray("ACD");
    QTest::newRow("vendor and product") << ManyDevices << 8137 << 80 << AnyId << AnyId
                                        << QByteArray("AD");
    QTest::newRow("max 1 of two") << 1 << 8137 << 80 << AnyId << AnyId << QByteArray("A");
    QTest::newRow("max 2 of two") << 2 << 8137 << 80 << AnyId << AnyId << QByteArray("AD");
    QTest::newRow("usage page") << ManyDevices << AnyId << AnyId << 0xFF00 << AnyId
                                << QByteArray("ABC");
    QTest::newRow("usage") << ManyDevices << AnyId << AnyId << AnyId << 2 << QByteArray("D");
    QTest::newRow("page and usage of two devices") << ManyDevices << AnyId << AnyId << 1 << 1
                                                   << QByteArray();
    QTest::newRow("other vendor only") << ManyDevices << 0x1234 << 0x0050 << AnyId << AnyId
                                       << QByteArray("C");
    QTest::newRow("vendor above 16 bits") << ManyDevices << 65536 + 8137 << AnyId << AnyId
                                          << AnyId << QByteArray();
    QTest::newRow("product above 16 bits") << ManyDevices << AnyId << 65536 + 80 << AnyId
                                           << AnyId << QByteArray();
    QTest::newRow("usage page above 16 bits") << ManyDevices << AnyId << AnyId << 65536 + 0xFF00
                                              << AnyId << QByteArray();
    QTest::newRow("usage above 16 bits") << ManyDevices << AnyId << AnyId << AnyId << 65536 + 1
                                         << QByteArray();
}

void TransportTest::openFilters()
{
    QFETCH(int, max);
    QFETCH(int, vendorId);
    QFETCH(int, productId);
    QFETCH(int, usagePage);
    QFETCH(int, usage);
    QFETCH(QByteArray, opened);

    fakehid::DeviceInfo otherProduct;
    otherProduct.productId = 0x0051;
    fakehid::DeviceInfo otherVendor;
    otherVendor.vendorId = 0x1234;
    fakehid::DeviceInfo otherUsage;
    otherUsage.usagePage = 0x0001;
    otherUsage.usage = 2;
    const fakehid::DeviceId devices[] = {plugMarked('A'), plugMarked('B', otherProduct),
                                         plugMarked('C', otherVendor),
                                         plugMarked('D', otherUsage)};
    for (const fakehid::DeviceId device : devices)
        queueAnswer(device);

    const int count = hidOpen(max, vendorId, productId, usagePage, usage);

    QCOMPARE(count, opened.size());
    QCOMPARE(fakehid::enumerationCount(), 1);
    QCOMPARE(fakehid::openCount(), opened.size());
    QCOMPARE(markersOfOpenedDevices(count), opened);
    NodeReport reply{};
    QCOMPARE(hidReceive(count, reply.data(), Report::Size, ReadTimeoutMs), -1);
}

void TransportTest::openNothingClosesAll()
{
    const fakehid::DeviceId node = plugMarked('A');
    queueAnswer(node);
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    const int enumerations = fakehid::enumerationCount();

    QCOMPARE(hidOpen(0, 8137, 80, AnyId, AnyId), 0);

    QCOMPARE(fakehid::enumerationCount(), enumerations);
    NodeReport reply{};
    QCOMPARE(hidReceive(0, reply.data(), Report::Size, ReadTimeoutMs), -1);
    QCOMPARE(fakehid::readCount(), 0);
    QCOMPARE(fakehid::releasedHandleCalls(), 0);
}

void TransportTest::deviceNumbering_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<char>("marker"); // 0: the number designates no device

    QTest::newRow("-5 is the first") << -5 << 'A';
    QTest::newRow("0 is the first") << 0 << 'A';
    QTest::newRow("1 is the second") << 1 << 'B';
    QTest::newRow("list length is none") << 2 << '\0';
}

void TransportTest::deviceNumbering()
{
    QFETCH(int, device);
    QFETCH(char, marker);

    queueAnswer(plugMarked('A'));
    queueAnswer(plugMarked('B'));
    QCOMPARE(hidOpen(2, 8137, 80, AnyId, AnyId), 2);

    NodeReport reply{};
    const int received = hidReceive(device, reply.data(), Report::Size, ReadTimeoutMs);

    if (marker == '\0') {
        QCOMPARE(received, -1);
        QCOMPARE(fakehid::readCount(), 0);
    } else {
        QCOMPARE(received, int(Report::Size));
        QCOMPARE(char(reply[Report::IpAddress]), marker);
    }
}

void TransportTest::refusedTransfers_data()
{
    QTest::addColumn<bool>("send");
    QTest::addColumn<int>("openDevices");
    QTest::addColumn<int>("device");
    QTest::addColumn<unsigned>("length");
    QTest::addColumn<QString>("status");

    const unsigned tooLong = HidMaxReportLength + 1;
    const unsigned report = Report::Size;
    QTest::newRow("receive 516 bytes") << false << 1 << 0 << tooLong << EarlierStatus;
    QTest::newRow("send 516 bytes") << true << 1 << 0 << tooLong
                                    << QStringLiteral("Aucun node connecté");
    QTest::newRow("receive, empty list") << false << 0 << 0 << report << EarlierStatus;
    QTest::newRow("send, empty list") << true << 0 << 0 << report << EarlierStatus;
    QTest::newRow("receive past the end") << false << 1 << 1 << report << EarlierStatus;
    QTest::newRow("send past the end") << true << 1 << 1 << report << EarlierStatus;
}

void TransportTest::refusedTransfers()
{
    QFETCH(bool, send);
    QFETCH(int, openDevices);
    QFETCH(int, device);
    QFETCH(unsigned, length);
    QFETCH(QString, status);

    queueAnswer(plugMarked('A'));
    QCOMPARE(hidOpen(openDevices, 8137, 80, AnyId, AnyId), openDevices);
    // Twice the longest report, so that a missed length check stays in bounds.
    std::array<std::uint8_t, 2 * (HidMaxReportLength + 1)> buffer{};
    buffer.fill(Untouched);
    buffer[Report::Command] = cmdWriteConfig;
    const auto before = buffer;
    statusText = EarlierStatus;

    CapturedOutput output;
    const int result = send ? hidSend(device, buffer.data(), length, WriteTimeoutMs)
                            : hidReceive(device, buffer.data(), length, ReadTimeoutMs);

    QCOMPARE(result, -1);
    QCOMPARE(fakehid::writeCount() + fakehid::readCount(), 0);
    QCOMPARE(output.text(), QByteArray());
    QCOMPARE(statusText, status);
    QVERIFY(buffer == before);
}

void TransportTest::receiveOutcomes_data()
{
    QTest::addColumn<unsigned>("length");
    QTest::addColumn<MaybeFault>("fault");
    QTest::addColumn<int>("shortLength");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("errorLine");

    const unsigned report = Report::Size;
    QTest::newRow("full report") << report << MaybeFault() << 0 << 64 << false;
    QTest::newRow("longest length accepted") << HidMaxReportLength << MaybeFault() << 0 << 64
                                             << false;
    QTest::newRow("smaller buffer") << 10u << MaybeFault() << 0 << 10 << false;
    QTest::newRow("short report") << report << MaybeFault(Fault::Short) << 17 << 17 << false;
    QTest::newRow("report-ID byte only") << report << MaybeFault(Fault::Short) << 0 << 0 << false;
    QTest::newRow("time-out") << report << MaybeFault(Fault::Timeout) << 0 << 0 << false;
    QTest::newRow("zero count") << report << MaybeFault(Fault::ZeroCount) << 0 << 0 << false;
    QTest::newRow("error") << report << MaybeFault(Fault::Error) << 0 << -1 << true;
}

void TransportTest::receiveOutcomes()
{
    QFETCH(unsigned, length);
    QFETCH(MaybeFault, fault);
    QFETCH(int, shortLength);
    QFETCH(int, result);
    QFETCH(bool, errorLine);

    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    queueAnswer(node);
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    if (fault)
        fakehid::failNextRead(*fault, shortLength);
    TransferBuffer buffer;
    buffer.fill(Untouched);

    CapturedOutput output;
    QCOMPARE(hidReceive(0, buffer.data(), length, ReadTimeoutMs), result);

    QCOMPARE(fakehid::readCount(), 1);
    const std::size_t copied = static_cast<std::size_t>(std::max(result, 0));
    const NodeReport answer = sampleConfiguration();
    QVERIFY(std::equal(buffer.begin(), buffer.begin() + copied, answer.begin()));
    QVERIFY(std::all_of(buffer.begin() + copied, buffer.end(),
                        [](std::uint8_t byte) { return byte == Untouched; }));
    if (errorLine)
        verifyOneErrorLine(output.text());
    else
        QCOMPARE(output.text(), QByteArray());
}

void TransportTest::sendOutcomes_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<MaybeFault>("fault");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<bool>("errorLine");

    QTest::newRow("configuration written") << 1 << MaybeFault() << 64 << true << false;
    QTest::newRow("request written") << 2 << MaybeFault() << 64 << false << false;
    QTest::newRow("configuration, error") << 1 << MaybeFault(Fault::Error) << -1 << true << true;
    QTest::newRow("configuration, time-out") << 1 << MaybeFault(Fault::Timeout) << -1 << true
                                             << true;
    QTest::newRow("configuration, zero count") << 1 << MaybeFault(Fault::ZeroCount) << -1 << true
                                               << false;
    QTest::newRow("request, error") << 2 << MaybeFault(Fault::Error) << -1 << false << true;
}

void TransportTest::sendOutcomes()
{
    QFETCH(int, command);
    QFETCH(MaybeFault, fault);
    QFETCH(int, result);
    QFETCH(bool, announced);
    QFETCH(bool, errorLine);

    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    if (fault)
        fakehid::failNextWrite(*fault);
    // No byte is zero, so a report cut short or shifted by one shows.
    NodeReport report{};
    for (std::size_t i = 0; i < report.size(); ++i)
        report[i] = static_cast<std::uint8_t>(0x40 + i);
    report[Report::Command] = static_cast<std::uint8_t>(command);
    const NodeReport sent = report;
    statusText = EarlierStatus;

    CapturedOutput output;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(hidSend(0, report.data(), Report::Size, WriteTimeoutMs), result);
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(fakehid::writeCount(), 1);
    QVERIFY(report == sent);
    QCOMPARE(statusText, announced ? QStringLiteral("Envoie des nouvelles valeurs")
                                   : EarlierStatus);
    if (errorLine)
        verifyOneErrorLine(output.text());
    else
        QCOMPARE(output.text(), QByteArray());

    const std::vector<NodeReport> &received = fakehid::node(node).receivedReports();
    if (result > 0) {
        QVERIFY2(elapsed >= PausedAtLeastMs, QByteArray::number(elapsed).constData());
        QCOMPARE(received.size(), std::size_t(1));
        QVERIFY(received.front() == sent);
    } else {
        QVERIFY2(elapsed < UnpausedAtMostMs, QByteArray::number(elapsed).constData());
        QVERIFY(received.empty());
    }
}

void TransportTest::releasedDevice()
{
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    queueAnswer(node);
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    hidClose(0);

    NodeReport report = reportWith({{Report::Command, cmdRequestConfig}});
    {
        CapturedOutput output;
        QCOMPARE(hidSend(0, report.data(), Report::Size, WriteTimeoutMs), -1);
        verifyOneErrorLine(output.text());
    }
    {
        CapturedOutput output;
        QCOMPARE(hidReceive(0, report.data(), Report::Size, ReadTimeoutMs), -1);
        verifyOneErrorLine(output.text());
    }
    QCOMPARE(fakehid::writeCount(), 0);
    QCOMPARE(fakehid::readCount(), 0);

    hidClose(0);
    hidClose(-1);
    QCOMPARE(fakehid::releasedHandleCalls(), 0);

    // The next open discards the released entry and works as before.
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    QCOMPARE(fakehid::releasedHandleCalls(), 0);
    queueAnswer(node); // closing the device dropped what it held
    QCOMPARE(hidReceive(0, report.data(), Report::Size, ReadTimeoutMs), int(Report::Size));
    QVERIFY(report == sampleConfiguration());
}

void TransportTest::pacing_data()
{
    QTest::addColumn<HidPacing>("pacing");
    QTest::addColumn<std::vector<int>>("requestPauses");
    QTest::addColumn<int>("replyTimeoutMs");
    QTest::addColumn<std::vector<int>>("writePauses");

    QTest::newRow("window") << WindowPacing << std::vector<int>{HidPauseAfterWriteMs}
                            << ReadTimeoutMs << std::vector<int>{HidPauseAfterWriteMs};
    QTest::newRow("command line") << CommandLinePacing << std::vector<int>{}
                                  << HidPauseAfterWriteMs + ReadTimeoutMs
                                  << std::vector<int>{HidPauseAfterWriteMs};
    HidPacing quick = WindowPacing;
    quick.pauseAfterWriteMs = 0;
    QTest::newRow("window, no pause") << quick << std::vector<int>{0} << ReadTimeoutMs
                                      << std::vector<int>{0};
}

// The pauses a request and a configuration write take, and how long the
// request's reply is waited for, as the pacing in force says.
void TransportTest::pacing()
{
    QFETCH(HidPacing, pacing);
    QFETCH(std::vector<int>, requestPauses);
    QFETCH(int, replyTimeoutMs);
    QFETCH(std::vector<int>, writePauses);

    std::vector<int> pauses;
    setHidPause([&pauses](int milliseconds) { pauses.push_back(milliseconds); });
    setHidPacing(pacing);
    fakehid::plug(sampleConfiguration());
    QCOMPARE(hidOpen(1, 8137, 80, AnyId, AnyId), 1);
    fakehid::recordCalls(true);

    NodeReport report{};
    const int received = requestConfiguration(0, report);
    const std::vector<int> afterRequest = pauses;
    pauses.clear();
    const int written = writeConfiguration(0, report);
    const std::vector<int> afterWrite = pauses;
    setHidPacing(WindowPacing);
    setHidPause({});

    QCOMPARE(received, int(Report::Size));
    QCOMPARE(written, int(Report::Size));
    QCOMPARE(afterRequest, requestPauses);
    QCOMPARE(afterWrite, writePauses);
    const std::vector<fakehid::LibraryCall> calls = fakehid::takeCalls();
    const auto read = std::find_if(calls.begin(), calls.end(), [](const fakehid::LibraryCall &call) {
        return call.kind == fakehid::LibraryCall::Kind::Read;
    });
    QVERIFY(read != calls.end());
    QCOMPARE(read->timeoutMs, replyTimeoutMs);
}

QTEST_MAIN(TransportTest)
#include "tst_transport.moc"

// The tool's transport on the system's hidapi against a real HID stack:
// finding the node, the report-ID framing of writes and reads, time-outs.

#include "hilsupport.h"

#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <QCoreApplication>
#include <QTest>

#include <optional>

class TestHilTransport : public QObject
{
    Q_OBJECT

private:
    NodeReport original{};

    static int openNode()
    {
        return hidOpen(Node::MaxDevices, Node::VendorId, Node::ProductId, Node::AnyUsagePage,
                       Node::AnyUsage);
    }

private slots:
    void initTestCase()
    {
        const std::optional<NodeReport> held = readNodeDirectly();
        QVERIFY2(held.has_value(), "the node did not answer a configuration request");
        original = *held;
    }

    void cleanupTestCase()
    {
        closeToolDevices();
        QVERIFY2(restoreNodeDirectly(original), "the node did not take back its configuration");
    }

    void init() { closeToolDevices(); }

    void findsNodeByIdentity_data()
    {
        QTest::addColumn<int>("vendorId");
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("expected");
        QTest::newRow("node") << Node::VendorId << Node::ProductId << 1;
        QTest::newRow("other product") << Node::VendorId << Node::ProductId + 1 << 0;
        QTest::newRow("other vendor") << Node::VendorId + 1 << Node::ProductId << 0;
    }

    void findsNodeByIdentity()
    {
        QFETCH(int, vendorId);
        QFETCH(int, productId);
        QFETCH(int, expected);
        QCOMPARE(hidOpen(Node::MaxDevices, vendorId, productId, Node::AnyUsagePage,
                         Node::AnyUsage),
                 expected);
    }

    // A request moves 64 report bytes each way: the report-ID byte is
    // added on the way out and is not part of what comes back.
    void requestIsAnsweredWithConfiguration()
    {
        QCOMPARE(openNode(), 1);
        NodeReport buffer{};
        buffer[Report::Command] = cmdRequestConfig;
        QCOMPARE(hidSend(Node::Device, buffer.data(), Report::Size, Node::WriteTimeoutMs),
                 int(Report::Size));
        buffer.fill(0);
        QCOMPARE(hidReceive(Node::Device, buffer.data(), Report::Size, Node::ReadTimeoutMs),
                 int(Report::Size));
        QCOMPARE(int(buffer[Report::Command]), int(cmdRequestConfig));
        QCOMPARE(buffer, original);
    }

    void readWithoutRequestTimesOut()
    {
        QCOMPARE(openNode(), 1);
        NodeReport buffer{};
        QCOMPARE(hidReceive(Node::Device, buffer.data(), Report::Size, Node::ReadTimeoutMs), 0);
    }

    void writtenByteIsStored_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::newRow("first address octet") << int(Report::IpAddress) << 10;
        QTest::newRow("last SPI2 universe") << int(Report::Spi2Patch + 7) << 200;
    }

    void writtenByteIsStored()
    {
        QFETCH(int, offset);
        QFETCH(int, value);
        NodeReport report = original;
        report[Report::Command] = cmdWriteConfig;
        report[offset] = static_cast<std::uint8_t>(value);
        QCOMPARE(openNode(), 1);
        QCOMPARE(hidSend(Node::Device, report.data(), Report::Size, Node::WriteTimeoutMs),
                 int(Report::Size));
        closeToolDevices();
        const std::optional<NodeReport> held = readNodeDirectly();
        QVERIFY(held.has_value());
        QCOMPARE(int((*held)[offset]), value);
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestHilTransport tests;
    return runWhenNodePresent(tests, argc, argv);
}

#include "tst_hil_transport.moc"

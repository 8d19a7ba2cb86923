// The fixed configurations: the factory reset and the numbered curtains
// and costumes, from the button press to the report the node received.

#include "app/sharedstate.h"
#include "protocol/presets.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <array>

Q_DECLARE_METATYPE(NodeReport)
Q_DECLARE_METATYPE(fakehid::Fault)

namespace {

using Patch = std::array<std::uint8_t, Report::PatchSlots>;

constexpr Patch noPatch = {};
constexpr Patch patch1to8 = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr Patch patch9to16 = {9, 10, 11, 12, 13, 14, 15, 16};
constexpr Patch curtain2x1 = {1, 2, 0, 0, 0, 0, 0, 0};
constexpr Patch curtain3x2 = {1, 2, 3, 4, 0, 0, 0, 0};
constexpr Patch curtain4x2 = {1, 2, 3, 4, 5, 0, 0, 0};
constexpr Patch costume1 = {1, 2, 3, 4, 0, 0, 0, 0};
constexpr Patch costume2 = {5, 6, 7, 8, 0, 0, 0, 0};

// A configuration in 2.0.0.0/8 with zeros wherever it says nothing.
NodeReport unitConfig(int host, int chip, int clock, const Patch &spi1, const Patch &spi2,
                      int capacity)
{
    NodeReport report = {1, 2, 0, 0, static_cast<std::uint8_t>(host), 255, 0, 0, 0,
                         2, 255, 255, 255, static_cast<std::uint8_t>(chip),
                         static_cast<std::uint8_t>(clock), static_cast<std::uint8_t>(clock)};
    std::copy(spi1.begin(), spi1.end(), report.begin() + Report::Spi1Patch);
    std::copy(spi2.begin(), spi2.end(), report.begin() + Report::Spi2Patch);
    report[Report::MaxUniverses] = static_cast<std::uint8_t>(capacity);
    return report;
}

NodeReport factoryConfig(int capacity)
{
    return unitConfig(15, Chip::LPD6803, 16, patch1to8,
                      capacity == LargeCapacity ? patch9to16 : noPatch, capacity);
}


// A buffer as an earlier reply left it: every byte set, reserved ones too.
NodeReport lastReply(int capacityByte)
{
    NodeReport report = sampleConfiguration();
    report[Report::Command] = cmdWriteConfig;
    report[Report::MaxUniverses] = static_cast<std::uint8_t>(capacityByte);
    return report;
}

// Opens the plugged node as the monitor would, without reading it.
void openNode()
{
    QCOMPARE(hidOpen(Node::MaxDevices, Node::VendorId, Node::ProductId, Node::AnyUsagePage,
                     Node::AnyUsage),
             1);
}

void readBack(MainWindow &window)
{
    QMetaObject::invokeMethod(&window, "searchDevice");
    processRefresh(window);
}

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

QString textOf(MainWindow &window, const char *name)
{
    return window.findChild<QLineEdit *>(name)->text();
}

void click(MainWindow &window, const char *button)
{
    QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
}

const char *numberField(bool curtain) { return curtain ? "numRideau" : "numCostume"; }
const char *addButton(bool curtain) { return curtain ? "bAddRideau" : "bAddCostume"; }

const QString sending = QString::fromUtf8(Status::SendingNewValues);

} // namespace

class TestUnitSetup : public QObject
{
    Q_OBJECT

private slots:
    void factoryResetOnNode_data();
    void factoryResetOnNode();
    void factoryResetVariant_data();
    void factoryResetVariant();
    void factoryResetReachesNodeOnArrival();
    void threeCurtainsInARow();
    void unitPreset_data();
    void unitPreset();
    void lastUnitNumber_data();
    void lastUnitNumber();
    void failedWriteKeepsNumber_data();
    void failedWriteKeepsNumber();
};

void TestUnitSetup::factoryResetOnNode_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QString>("spi2Shown");

    QTest::newRow("16 universes") << int(LargeCapacity) << "9";
    QTest::newRow("8 universes") << int(SmallCapacity) << "0";
}

void TestUnitSetup::factoryResetOnNode()
{
    QFETCH(int, capacity);
    QFETCH(QString, spi2Shown);

    resetSharedState();
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration(), capacity);
    MainWindow window;
    window.show();
    readBack(window);
    fakehid::node(id).clearReceivedReports();

    {
        CapturedOutput output;
        click(window, "bReset");
        QVERIFY2(output.text().contains("r : 64"), output.text().constData());
    }
    const auto &received = fakehid::node(id).receivedReports();
    QCOMPARE(received.size(), std::size_t(1));
    COMPARE_REPORT(received.front(), factoryConfig(capacity));
    QVERIFY(waitingForNode);
    // The fields change only with the read-back.
    processRefresh(window);
    QCOMPARE(textOf(window, "ipa4"), QString("50"));
    QCOMPARE(window.findChild<QLabel *>("display")->text(), sending);

    readBack(window);
    QStringList shown;
    for (const char *name :
         {"ipa1", "ipa4", "ipm1", "ipb4", "spi2freq", "spi1p8", "spi2p1", "offset"})
        shown << textOf(window, name);
    QCOMPARE(shown, (QStringList{"2", "15", "255", "255", "0,8", "8", spi2Shown, "0"}));
    QCOMPARE(window.findChild<QComboBox *>("output")->currentIndex(), int(Chip::LPD6803));
    QCOMPARE(window.findChild<QLabel *>("maxUnivers")->text(), QString::number(capacity));
}

void TestUnitSetup::factoryResetVariant_data()
{
    QTest::addColumn<int>("oldByte");
    QTest::addColumn<int>("capacity");

    QTest::newRow("0 reads as 8") << 0 << int(SmallCapacity);
    QTest::newRow("8 reads as 8") << 8 << int(SmallCapacity);
    QTest::newRow("16 reads as 16") << 16 << int(LargeCapacity);
    QTest::newRow("1 reads as 16") << 1 << int(LargeCapacity);
    QTest::newRow("24 reads as 16") << 24 << int(LargeCapacity);
    QTest::newRow("255 reads as 16") << 255 << int(LargeCapacity);
}

// No node: nothing is written, and the buffer shows the report; a second
// press before any read-back keeps the variant.
void TestUnitSetup::factoryResetVariant()
{
    QFETCH(int, oldByte);
    QFETCH(int, capacity);

    resetSharedState();
    MainWindow window;
    window.show();
    reportBuffer = lastReply(oldByte);
    waitingForNode = false;

    CapturedOutput output;
    click(window, "bReset");
    COMPARE_REPORT(reportBuffer, factoryConfig(capacity));
    click(window, "bReset");
    COMPARE_REPORT(reportBuffer, factoryConfig(capacity));
    QCOMPARE(output.text(), QByteArray("r : -1r : -1"));
    QVERIFY(waitingForNode);
    QCOMPARE(fakehid::writeCount(), 0);
    processRefresh(window);
    QCOMPARE(window.findChild<QLabel *>("display")->text(),
             QString::fromUtf8("Paramètres d'usine"));
    QCOMPARE(textOf(window, "ipa4"), QString());
}

void TestUnitSetup::factoryResetReachesNodeOnArrival()
{
    resetSharedState();
    MainWindow window;
    window.show();
    click(window, "bReset");

    // The first request carries the factory configuration behind its command.
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration());
    readBack(window);
    const auto &received = fakehid::node(id).receivedReports();
    QCOMPARE(received.size(), std::size_t(1));
    NodeReport request = factoryConfig(SmallCapacity);
    request[Report::Command] = cmdRequestConfig;
    COMPARE_REPORT(received.front(), request);
    QCOMPARE(textOf(window, "ipa4"), QString("50"));
}

void TestUnitSetup::threeCurtainsInARow()
{
    resetSharedState();
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration());
    MainWindow window;
    window.show();
    readBack(window);
    fakehid::node(id).clearReceivedReports();

    auto *const number = window.findChild<QLineEdit *>("numRideau");
    QCOMPARE(number->text(), QString("1"));
    window.findChild<QComboBox *>("cbRideau")->setCurrentIndex(CurtainSize::ThreeByTwo);
    for (int i = 0; i < 3; ++i)
        click(window, "bAddRideau");

    const auto &received = fakehid::node(id).receivedReports();
    QCOMPARE(received.size(), std::size_t(3));
    for (int i = 0; i < 3; ++i)
        COMPARE_REPORT(received[i], unitConfig(15 + i, Chip::LPD6803, 16, curtain3x2, noPatch,
                                               LargeCapacity));
    QCOMPARE(number->text(), QString("4"));
    QCOMPARE(textOf(window, "numCostume"), QString("1"));
}

void TestUnitSetup::unitPreset_data()
{
    QTest::addColumn<bool>("curtain");
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("oldByte");
    QTest::addColumn<NodeReport>("expected");

    const int lpd = Chip::LPD6803;
    const int ucs = Chip::UCS1912_WS2812;
    QTest::newRow("curtain 1, 2X1") << true << "1" << 0 << 16
        << unitConfig(15, lpd, 16, curtain2x1, noPatch, 16);
    QTest::newRow("curtain 1, 3X2") << true << "1" << 1 << 16
        << unitConfig(15, lpd, 16, curtain3x2, noPatch, 16);
    QTest::newRow("curtain 1, 4X2, 8 universes") << true << "1" << 2 << 8
        << unitConfig(15, lpd, 16, curtain4x2, noPatch, 8);
    QTest::newRow("curtain 0, nothing read yet") << true << "0" << 0 << 0
        << unitConfig(14, lpd, 16, curtain2x1, noPatch, 8);
    QTest::newRow("curtain 241") << true << "241" << 1 << 255
        << unitConfig(255, lpd, 16, curtain3x2, noPatch, 16);
    QTest::newRow("costume 5, curtain size ignored") << false << "5" << 2 << 16
        << unitConfig(19, ucs, 8, costume1, costume2, 16);
    QTest::newRow("costume 0, 8 universes") << false << "0" << 0 << 8
        << unitConfig(14, ucs, 8, costume1, costume2, 8);
    QTest::newRow("costume 241") << false << "241" << 0 << 24
        << unitConfig(255, ucs, 8, costume1, costume2, 16);
}

// No node: nothing reaches the library, the number stays, and the buffer
// shows the report that would have gone out.
void TestUnitSetup::unitPreset()
{
    QFETCH(bool, curtain);
    QFETCH(QString, number);
    QFETCH(int, size);
    QFETCH(int, oldByte);
    QFETCH(NodeReport, expected);

    resetSharedState();
    MainWindow window;
    window.show();
    type(window.findChild<QLineEdit *>(numberField(curtain)), number);
    window.findChild<QComboBox *>("cbRideau")->setCurrentIndex(size);
    reportBuffer = lastReply(oldByte);
    waitingForNode = false;
    const QString statusBefore = statusText;

    click(window, addButton(curtain));

    COMPARE_REPORT(reportBuffer, expected);
    QVERIFY(waitingForNode);
    QCOMPARE(textOf(window, numberField(curtain)), number);
    QCOMPARE(fakehid::writeCount(), 0);
    QCOMPARE(statusText, statusBefore);
}

void TestUnitSetup::lastUnitNumber_data()
{
    QTest::addColumn<bool>("curtain");
    QTest::addColumn<NodeReport>("expected");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("curtain") << true
        << unitConfig(255, Chip::LPD6803, 16, curtain2x1, noPatch, 16)
        << "Impossible d'ajouter plus de rideau";
    QTest::newRow("costume") << false
        << unitConfig(255, Chip::UCS1912_WS2812, 8, costume1, costume2, 16)
        << "Impossible d'ajouter plus de costume";
}

// 241 is written as host 255; the number then shows 242, which is refused.
void TestUnitSetup::lastUnitNumber()
{
    QFETCH(bool, curtain);
    QFETCH(NodeReport, expected);
    QFETCH(QString, refusal);

    resetSharedState();
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration());
    openNode();
    MainWindow window;
    window.show();
    reportBuffer = lastReply(LargeCapacity);
    auto *const number = window.findChild<QLineEdit *>(numberField(curtain));
    type(number, "241");

    click(window, addButton(curtain));
    const auto &received = fakehid::node(id).receivedReports();
    QCOMPARE(received.size(), std::size_t(1));
    COMPARE_REPORT(received.front(), expected);
    QCOMPARE(number->text(), QString("242"));
    QCOMPARE(statusText, sending);

    waitingForNode = false;
    const NodeReport before = reportBuffer;
    click(window, addButton(curtain));
    QCOMPARE(statusText, refusal);
    COMPARE_REPORT(reportBuffer, before);
    QCOMPARE(received.size(), std::size_t(1));
    QCOMPARE(fakehid::writeCount(), 1);
    QCOMPARE(number->text(), QString("242"));
    QVERIFY(!waitingForNode);
}

void TestUnitSetup::failedWriteKeepsNumber_data()
{
    QTest::addColumn<bool>("curtain");
    QTest::addColumn<fakehid::Fault>("fault");

    QTest::newRow("curtain, write error") << true << fakehid::Fault::Error;
    QTest::newRow("curtain, nothing written") << true << fakehid::Fault::ZeroCount;
    QTest::newRow("costume, write error") << false << fakehid::Fault::Error;
    QTest::newRow("costume, nothing written") << false << fakehid::Fault::ZeroCount;
}

void TestUnitSetup::failedWriteKeepsNumber()
{
    QFETCH(bool, curtain);
    QFETCH(fakehid::Fault, fault);

    resetSharedState();
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration());
    openNode();
    MainWindow window;
    window.show();
    type(window.findChild<QLineEdit *>(numberField(curtain)), "7");
    waitingForNode = false;
    fakehid::failNextWrite(fault);

    {
        const CapturedOutput quiet; // the transport's error line
        click(window, addButton(curtain));
    }
    QCOMPARE(fakehid::writeCount(), 1);
    QVERIFY(fakehid::node(id).receivedReports().empty());
    QCOMPARE(textOf(window, numberField(curtain)), QString("7"));
    QVERIFY(waitingForNode);
    QCOMPARE(int(reportBuffer[Report::IpAddress + 3]), 21);
    QCOMPARE(statusText, sending);
}

QTEST_MAIN(TestUnitSetup)
#include "tst_unitsetup.moc"

// The connection monitor, one search tick at a time: the state it moves to
// for each presence of the node at the tick's two checks, the request it
// sends, what a read cycle prints and decodes, and the hex dump it prints.

#include "testsupport.h"

#include "app/sharedstate.h"
#include "protocol/fieldmap.h"
#include "sim/fakehid.h"
#include "ui/mainwindow.h"
#include "usb/hexdump.h"

#include <QLabel>
#include <QTest>

#include <optional>

using fakehid::Fault;
using MaybeFault = std::optional<Fault>;
Q_DECLARE_METATYPE(MaybeFault)
Q_DECLARE_METATYPE(NodeReport)

namespace {

const QString Waiting = QStringLiteral("En attente de node");
const QString Connected = QStringLiteral("Connecté au node");
const QString EarlierStatus = QStringLiteral("statut précédent");
constexpr std::int32_t NoReceiveYet = 99;

void tick(MainWindow &window)
{
    QVERIFY(QMetaObject::invokeMethod(&window, "searchDevice"));
}

QString statusLine(const MainWindow &window, const char *name)
{
    const auto *const label = window.findChild<QLabel *>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

QStringList decodedTexts()
{
    QStringList texts;
    for (int slot = 0; slot < Slot::Count; ++slot)
        texts << DisplayFields[slot];
    return texts;
}

// What a report of byte 0 = 2 and zeros shows, slot by slot.
QStringList zeroTexts()
{
    QStringList texts;
    for (int slot = 0; slot < Slot::MaxUniverses; ++slot)
        texts << QStringLiteral("0");
    return texts << QStringLiteral("8");
}

QStringList sampleTexts()
{
    return QStringList{"192", "168", "1", "50", "255", "255", "255", "0", "192", "168", "1",
                       "255", "0,8", "0,8", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
                       "11", "12", "13", "14", "15", "16", "3", "16"};
}

// The first 17 bytes of the sample, zeros after them.
QStringList shortSampleTexts()
{
    QStringList texts = zeroTexts();
    const QStringList sample = sampleTexts();
    for (int slot = 0; slot <= Slot::Spi1Patch; ++slot)
        texts[slot] = sample[slot];
    return texts;
}

} // namespace

class MonitorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void transitions_data();
    void transitions();
    void requestContents_data();
    void requestContents();
    void readOutcomes_data();
    void readOutcomes();
    void lostNodeAnnouncedOnTheNextTick();
    void libraryFailureSaidOnce();
    void hexDumpLayout_data();
    void hexDumpLayout();
};

void MonitorTest::init()
{
    resetSharedState();
}

void MonitorTest::transitions_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("firstCheck");
    QTest::addColumn<bool>("secondCheck");
    QTest::addColumn<bool>("nowWaiting");
    QTest::addColumn<bool>("nowConnected");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("readCycle");
    QTest::addColumn<int>("enumerations");

    // The first check is made only when a read is due.
    QTest::newRow("searching, not found")
        << true << false << false << false << true << false << Waiting << false << 1;
    QTest::newRow("searching, found, still there")
        << true << false << true << true << false << true << Connected << true << 2;
    QTest::newRow("searching, found, gone at the second check")
        << true << false << true << false << true << false << Connected << true << 2;
    QTest::newRow("connected, still there")
        << false << true << false << true << false << true << EarlierStatus << false << 1;
    QTest::newRow("connected, gone")
        << false << true << false << false << true << false << EarlierStatus << false << 1;
    QTest::newRow("re-read due, found, still there")
        << true << true << true << true << false << true << Connected << true << 2;
    QTest::newRow("re-read due, found, gone at the second check")
        << true << true << true << false << true << false << Connected << true << 2;
    QTest::newRow("re-read due, not found, gone")
        << true << true << false << false << true << false << Waiting << false << 2;
    QTest::newRow("re-read due, not found, back at the second check")
        << true << true << false << true << true << true << Waiting << false << 2;
}

void MonitorTest::transitions()
{
    QFETCH(bool, waiting);
    QFETCH(bool, connected);
    QFETCH(bool, firstCheck);
    QFETCH(bool, secondCheck);
    QFETCH(bool, nowWaiting);
    QFETCH(bool, nowConnected);
    QFETCH(QString, status);
    QFETCH(bool, readCycle);
    QFETCH(int, enumerations);

    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    if (waiting)
        fakehid::setPresenceSchedule(node, {firstCheck, secondCheck});
    else
        fakehid::setPresenceSchedule(node, {secondCheck});
    waitingForNode = waiting;
    nodeConnected = connected;
    statusText = EarlierStatus;
    lastReceiveLength = NoReceiveYet;

    tick(window);

    QCOMPARE(waitingForNode, nowWaiting);
    QCOMPARE(nodeConnected, nowConnected);
    QCOMPARE(statusText, status);
    QCOMPARE(fakehid::enumerationCount(), enumerations);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(readCycle ? 1 : 0));
    QCOMPARE(dataReady, readCycle);
    QCOMPARE(lastReceiveLength, readCycle ? std::int32_t(Report::Size) : NoReceiveYet);
    QCOMPARE(reportBuffer[Report::Command], readCycle ? cmdWriteConfig : cmdRequestConfig);
    if (readCycle)
        QCOMPARE(decodedTexts(), sampleTexts());
}

void MonitorTest::requestContents_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<NodeReport>("buffer");
    QTest::addColumn<NodeReport>("request");

    QTest::newRow("first read after start")
        << false << reportWith({{Report::Command, cmdRequestConfig}})
        << reportWith({{Report::Command, cmdRequestConfig}});
    NodeReport written = sampleConfiguration();
    written[Report::Command] = cmdWriteConfig;
    QTest::newRow("read-back after a write") << true << written << sampleConfiguration();
}

void MonitorTest::requestContents()
{
    QFETCH(bool, connected);
    QFETCH(NodeReport, buffer);
    QFETCH(NodeReport, request);

    MainWindow window;
    NodeReport stored{};
    stored[Report::IpAddress] = 10;
    const fakehid::DeviceId node = fakehid::plug(stored);
    nodeConnected = connected;
    reportBuffer = buffer;

    tick(window);

    const std::vector<NodeReport> &received = fakehid::node(node).receivedReports();
    QCOMPARE(received.size(), std::size_t(1));
    QVERIFY(received.front() == request);
    QCOMPARE(DisplayFields[Slot::IpAddress], QStringLiteral("10"));
}

void MonitorTest::readOutcomes_data()
{
    QTest::addColumn<MaybeFault>("fault");
    QTest::addColumn<int>("shortLength");
    QTest::addColumn<int>("received");
    QTest::addColumn<bool>("transportErrorLine");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("chip");

    QTest::newRow("full reply")
        << MaybeFault() << 0 << 64 << false
        << QByteArray("\nrecv 64 bytes:\n"
                      "02 C0 A8 01 32 FF FF FF 00 C0 A8 01 FF 02 10 10 \n"
                      "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 \n"
                      "03 10 C2 C3 C4 C5 C6 C7 C8 C9 CA CB CC CD CE CF \n"
                      "D0 D1 D2 D3 D4 D5 D6 D7 D8 D9 DA DB DC DD DE DF ")
        << sampleTexts() << Chip::LPD6803;
    QTest::newRow("17-byte reply")
        << MaybeFault(Fault::Short) << 17 << 17 << false
        << QByteArray("\nrecv 17 bytes:\n"
                      "02 C0 A8 01 32 FF FF FF 00 C0 A8 01 FF 02 10 10 \n"
                      "01 ")
        << shortSampleTexts() << Chip::LPD6803;
    QTest::newRow("zero count") << MaybeFault(Fault::ZeroCount) << 0 << 0 << false
                                << QByteArray() << zeroTexts() << Chip::TS3001;
    QTest::newRow("time-out") << MaybeFault(Fault::Timeout) << 0 << 0 << false << QByteArray()
                              << zeroTexts() << Chip::TS3001;
    QTest::newRow("error") << MaybeFault(Fault::Error) << 0 << -1 << true
                           << QByteArray("\nerror reading, device went offline\n")
                           << zeroTexts() << Chip::TS3001;
}

void MonitorTest::readOutcomes()
{
    QFETCH(MaybeFault, fault);
    QFETCH(int, shortLength);
    QFETCH(int, received);
    QFETCH(bool, transportErrorLine);
    QFETCH(QByteArray, output);
    QFETCH(QStringList, texts);
    QFETCH(int, chip);

    MainWindow window;
    fakehid::plug(sampleConfiguration());
    if (fault)
        fakehid::failNextRead(*fault, shortLength);

    QByteArray printed;
    {
        CapturedOutput capture;
        tick(window);
        printed = capture.text();
    }

    if (transportErrorLine) {
        QVERIFY2(printed.startsWith("err "), printed.constData());
        printed.remove(0, printed.indexOf('\n') + 1);
    }
    QCOMPARE(printed, output);
    QCOMPARE(lastReceiveLength, received);
    QVERIFY(dataReady);
    QCOMPARE(decodedTexts(), texts);
    QCOMPARE(outputTypeIndex, chip);
    QCOMPARE(reportBuffer[Report::Command], cmdWriteConfig);
    // The node is still there at the second check, whatever the read gave.
    QVERIFY(!waitingForNode);
    QVERIFY(nodeConnected);
    QCOMPARE(fakehid::releasedHandleCalls(), 0);
    QCOMPARE(fakehid::enumerationCount(), 2);
}

void MonitorTest::lostNodeAnnouncedOnTheNextTick()
{
    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());

    tick(window);
    processRefresh(window);
    QCOMPARE(statusLine(window, "display"), Connected);

    fakehid::unplug(node);
    tick(window);
    processRefresh(window);
    QVERIFY(waitingForNode);
    QVERIFY(!nodeConnected);
    QCOMPARE(statusLine(window, "display"), Connected);

    // From now on each tick makes one enumeration and the text shows once.
    for (int ticks = 0; ticks < 3; ++ticks) {
        const int enumerations = fakehid::enumerationCount();
        tick(window);
        processRefresh(window);
        QCOMPARE(fakehid::enumerationCount(), enumerations + 1);
        QCOMPARE(statusLine(window, "display"), Waiting);
        QCOMPARE(statusLine(window, "display2"), Connected);
    }
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(1));
}

// A HID library that does not start is said once, in the status history
// and on standard output, for as long as it lasts, instead of a wait for
// ever; the node is read as soon as the library starts.
void MonitorTest::libraryFailureSaidOnce()
{
    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    fakehid::setStartFailing(true);
    const QString unavailable = message(Status::UsbUnavailable);

    CapturedOutput output;
    for (int ticks = 0; ticks < 3; ++ticks) {
        tick(window);
        processRefresh(window);
        QCOMPARE(statusLine(window, "display"), unavailable);
        QVERIFY(statusLine(window, "display2") != unavailable);
    }
    QCOMPARE(output.text().count(HidLibraryFailure), 1);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(0));

    fakehid::setStartFailing(false);
    tick(window);
    processRefresh(window);
    QCOMPARE(statusLine(window, "display"), Connected);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(1));
}

void MonitorTest::hexDumpLayout_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("dump");

    QTest::newRow("none") << 0 << QByteArray();
    QTest::newRow("one") << 1 << QByteArray("00 ");
    QTest::newRow("one line") << 16 << QByteArray("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF ");
    QTest::newRow("one line and a byte")
        << 17 << QByteArray("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \n10 ");
    QTest::newRow("two lines")
        << 32 << QByteArray("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \n"
                            "10 21 32 43 54 65 76 87 98 A9 BA CB DC ED FE 0F ");
    QTest::newRow("a whole report")
        << 64 << QByteArray("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF \n"
                            "10 21 32 43 54 65 76 87 98 A9 BA CB DC ED FE 0F \n"
                            "20 31 42 53 64 75 86 97 A8 B9 CA DB EC FD 0E 1F \n"
                            "30 41 52 63 74 85 96 A7 B8 C9 DA EB FC 0D 1E 2F ");
}

void MonitorTest::hexDumpLayout()
{
    QFETCH(int, count);
    QFETCH(QByteArray, dump);

    NodeReport bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 0x11);
    QCOMPARE(hexDump(bytes.data(), count), dump);
}

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"

// The periodic refresh: the four-line status history, the copy of decoded
// node data into the widgets, and the chip list's control of the clocks.

#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "protocol/encoding.h"
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <memory>
#include <utility>

Q_DECLARE_METATYPE(NodeReport)

namespace {

const QString Waiting = QStringLiteral("En attente de node");
const QStringList HistoryLines = {"display", "display2", "display3", "display4"};
const QStringList FrequencyWidgetNames = {"spi1freq", "lSpi1Freq", "spi2freq", "lSpi2Freq"};
constexpr std::size_t ChipOffset = 13;
constexpr std::size_t CapacityOffset = 33;
constexpr int NoChip = -1;

// Each configuration edit and the report byte it shows.
const std::pair<const char *, std::size_t> EditOffsets[] = {
    {"ipa1", 1},     {"ipa2", 2},     {"ipa3", 3},     {"ipa4", 4},     {"ipm1", 5},
    {"ipm2", 6},     {"ipm3", 7},     {"ipm4", 8},     {"ipb1", 9},     {"ipb2", 10},
    {"ipb3", 11},    {"ipb4", 12},    {"spi1freq", 14}, {"spi2freq", 15}, {"spi1p1", 16},
    {"spi1p2", 17},  {"spi1p3", 18},  {"spi1p4", 19},  {"spi1p5", 20},  {"spi1p6", 21},
    {"spi1p7", 22},  {"spi1p8", 23},  {"spi2p1", 24},  {"spi2p2", 25},  {"spi2p3", 26},
    {"spi2p4", 27},  {"spi2p5", 28},  {"spi2p6", 29},  {"spi2p7", 30},  {"spi2p8", 31},
    {"offset", 32}};

bool isClock(std::size_t offset)
{
    return offset == 14 || offset == 15;
}

// A report whose configuration bytes all differ, so that a field shown in
// the wrong widget cannot go unnoticed.
NodeReport distinctConfiguration(std::uint8_t chip)
{
    NodeReport report{};
    for (std::size_t offset = 1; offset <= 32; ++offset)
        report[offset] = static_cast<std::uint8_t>(100 + offset);
    report[ChipOffset] = chip;
    report[CapacityOffset] = 24;
    return report;
}

std::unique_ptr<MainWindow> newWindow()
{
    resetSharedState();
    return std::make_unique<MainWindow>();
}

QStringList history(const MainWindow &window)
{
    QStringList lines;
    for (const QString &name : HistoryLines)
        lines << window.findChild<QLabel *>(name)->text();
    return lines;
}

QStringList editTexts(const MainWindow &window)
{
    QStringList texts;
    for (const auto &edit : EditOffsets)
        texts << window.findChild<QLineEdit *>(edit.first)->text();
    return texts;
}

// Empty when all four clock widgets are hidden or all shown; else names the odd ones.
QString frequencyVisibility(const MainWindow &window, bool shown)
{
    QStringList wrong;
    for (const QString &name : FrequencyWidgetNames)
        if (window.findChild<QWidget *>(name)->isHidden() == shown)
            wrong << name;
    return wrong.join(' ');
}

} // namespace

class TestDisplayRefresh : public QObject
{
    Q_OBJECT

private slots:
    void statusHistory_data();
    void statusHistory();
    void decodedReportReachesWidgets_data();
    void decodedReportReachesWidgets();
    void nothingCopiedWithoutDataReady();
    void chipSelectionShowsClocks_data();
    void chipSelectionShowsClocks();
};

void TestDisplayRefresh::statusHistory_data()
{
    // Each element is set within one refresh tick; "|" separates texts set
    // one after the other within the same tick.
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QStringList>("lines"); // newest first
    QTest::newRow("unchanged") << QStringList{Waiting} << QStringList{Waiting, "", "", ""};
    QTest::newRow("same text twice") << QStringList{"A", "A"} << QStringList{"A", Waiting, "", ""};
    QTest::newRow("A B A") << QStringList{"A", "B", "A"} << QStringList{"A", "B", "A", Waiting};
    QTest::newRow("five leave four") << QStringList{"m1", "m2", "m3", "m4", "m5"}
                                     << QStringList{"m5", "m4", "m3", "m2"};
    QTest::newRow("two within one tick") << QStringList{"A|B"} << QStringList{"B", Waiting, "", ""};
    QTest::newRow("back within one tick") << QStringList{"A|" + Waiting}
                                          << QStringList{Waiting, "", "", ""};
    QTest::newRow("case matters") << QStringList{"abc", "ABC"}
                                  << QStringList{"ABC", "abc", Waiting, ""};
    QTest::newRow("empty text is a line") << QStringList{"", "A"} << QStringList{"A", "", Waiting, ""};
}

void TestDisplayRefresh::statusHistory()
{
    QFETCH(QStringList, ticks);
    QFETCH(QStringList, lines);

    const auto window = newWindow();
    processRefresh(*window);
    for (const QString &tick : ticks) {
        for (const QString &text : tick.split('|'))
            statusText = text;
        processRefresh(*window);
    }
    QCOMPARE(history(*window), lines);
}

void TestDisplayRefresh::decodedReportReachesWidgets_data()
{
    QTest::addColumn<NodeReport>("report");
    QTest::addColumn<int>("chipIndex");
    QTest::addColumn<bool>("clocksShown");
    QTest::addColumn<QString>("capacity");

    QTest::newRow("sample") << sampleConfiguration() << 2 << true << "16";
    QTest::newRow("zeros") << NodeReport{} << 0 << false << "8";
    NodeReport full;
    full.fill(255);
    QTest::newRow("all 255") << full << NoChip << true << "16";
    QTest::newRow("chip 0") << distinctConfiguration(0) << 0 << false << "16";
    QTest::newRow("chip 1 hides") << distinctConfiguration(1) << 1 << false << "16";
    QTest::newRow("chip 2 shows") << distinctConfiguration(2) << 2 << true << "16";
    QTest::newRow("chip 3 shows") << distinctConfiguration(3) << 3 << true << "16";
    QTest::newRow("chip 7 hides") << distinctConfiguration(7) << 7 << false << "16";
    QTest::newRow("chip 8 selects none") << distinctConfiguration(8) << NoChip << true << "16";
}

void TestDisplayRefresh::decodedReportReachesWidgets()
{
    QFETCH(NodeReport, report);
    QFETCH(int, chipIndex);
    QFETCH(bool, clocksShown);
    QFETCH(QString, capacity);

    const auto window = newWindow();
    processRefresh(*window);
    decodeReport(report);
    processRefresh(*window);

    QVERIFY(!dataReady);
    for (const auto &edit : EditOffsets) {
        const std::uint8_t byte = report[edit.second];
        const QString expected =
            isClock(edit.second) ? frequencyByteToText(byte) : byteToDecimalText(byte);
        QCOMPARE(window->findChild<QLineEdit *>(edit.first)->text(), expected);
    }
    QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), capacity);
    QCOMPARE(window->findChild<QComboBox *>("output")->currentIndex(), chipIndex);
    const QString wrong = frequencyVisibility(*window, clocksShown);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // The refresh leaves the unit set-up alone.
    QCOMPARE(window->findChild<QLineEdit *>("numRideau")->text(), QString("1"));
    QCOMPARE(window->findChild<QComboBox *>("cbRideau")->currentIndex(), 0);
}

void TestDisplayRefresh::nothingCopiedWithoutDataReady()
{
    const auto window = newWindow();
    // Before any node: empty fields and no decoding leave the form as built.
    processRefresh(*window);
    for (const QString &text : editTexts(*window))
        QVERIFY(text.isEmpty());
    QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), QString("0"));

    decodeReport(sampleConfiguration());
    processRefresh(*window);
    const QStringList shown = editTexts(*window);

    decodeReport(NodeReport{});
    dataReady = false;
    processRefresh(*window);
    QCOMPARE(editTexts(*window), shown);
    QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), QString("16"));
    QCOMPARE(window->findChild<QComboBox *>("output")->currentIndex(), 2);

    // The same fields do arrive once they are flagged.
    dataReady = true;
    processRefresh(*window);
    QCOMPARE(window->findChild<QLineEdit *>("ipa1")->text(), QString("0"));
    QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), QString("8"));
    QCOMPARE(window->findChild<QComboBox *>("output")->currentIndex(), 0);
}

void TestDisplayRefresh::chipSelectionShowsClocks_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("clocksShown");
    QTest::newRow("none") << NoChip << true;
    QTest::newRow("TS3001") << 0 << false;
    QTest::newRow("UCS1912/WS2812") << 1 << false;
    QTest::newRow("LPD6803") << 2 << true;
    QTest::newRow("SN16716") << 3 << true;
    QTest::newRow("DMX_512") << 4 << false;
    QTest::newRow("SPI->DMX") << 5 << false;
    QTest::newRow("WS2812RGBW") << 6 << false;
    QTest::newRow("LPD1886") << 7 << false;
}

void TestDisplayRefresh::chipSelectionShowsClocks()
{
    QFETCH(int, index);
    QFETCH(bool, clocksShown);

    // Chosen from a state showing the opposite, so each row changes something.
    const auto window = newWindow();
    auto *const output = window->findChild<QComboBox *>("output");
    output->setCurrentIndex(clocksShown ? 0 : 2);
    QVERIFY(frequencyVisibility(*window, !clocksShown).isEmpty());

    output->setCurrentIndex(index);
    const QString wrong = frequencyVisibility(*window, clocksShown);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    // The patch rows never hide.
    QVERIFY(!window->findChild<QWidget *>("spi1p1")->isHidden());
    QVERIFY(!window->findChild<QWidget *>("spi2p8")->isHidden());
}

QTEST_MAIN(TestDisplayRefresh)
#include "tst_displayrefresh.moc"

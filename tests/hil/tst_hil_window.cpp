// The window's user scenarios against the node that is present: what the
// window shows after each action must be what the node then holds.

#include "hilsupport.h"

#include "app/sharedstate.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

constexpr int ReadBackTimeoutMs = 3000;
constexpr double MhzPerStep = 0.05;

// Field names in the order of report bytes 1..12 and 16..31.
const char *const AddressFields[] = {"ipa1", "ipa2", "ipa3", "ipa4", "ipm1", "ipm2",
                                     "ipm3", "ipm4", "ipb1", "ipb2", "ipb3", "ipb4"};
const char *const PatchFields[] = {"spi1p1", "spi1p2", "spi1p3", "spi1p4", "spi1p5", "spi1p6",
                                   "spi1p7", "spi1p8", "spi2p1", "spi2p2", "spi2p3", "spi2p4",
                                   "spi2p5", "spi2p6", "spi2p7", "spi2p8"};

double shownMhz(const QString &text)
{
    QString point = text;
    return point.replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

} // namespace

class TestHilWindow : public QObject
{
    Q_OBJECT

private:
    NodeReport original{};
    std::unique_ptr<MainWindow> window;

    QLineEdit *edit(const char *name) const { return window->findChild<QLineEdit *>(name); }
    QString text(const char *name) const { return edit(name)->text(); }

    void openWindow()
    {
        resetToolState();
        window = std::make_unique<MainWindow>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // What a user sees once the tool has polled the node and the refresh ran.
    void readBack()
    {
        QVERIFY(QMetaObject::invokeMethod(window.get(), "searchDevice"));
        QVERIFY(nodeConnected);
        QTRY_VERIFY_WITH_TIMEOUT(!dataReady, ReadBackTimeoutMs);
    }

    // The node's configuration, asked for beside the tool; the tool's device
    // is reopened afterwards by its next search, as after a replug.
    NodeReport nodeNow()
    {
        closeToolDevices();
        const std::optional<NodeReport> held = readNodeDirectly();
        QMetaObject::invokeMethod(window.get(), "searchDevice");
        return held.value_or(NodeReport{});
    }

    void type(const char *name, const QString &value)
    {
        QLineEdit *const field = edit(name);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, value);
    }

    void click(const char *name)
    {
        QTest::mouseClick(window->findChild<QPushButton *>(name), Qt::LeftButton);
    }

    void verifyFieldsShow(const NodeReport &report)
    {
        for (int i = 0; i < 12; ++i)
            QCOMPARE(text(AddressFields[i]), QString::number(report[Report::IpAddress + i]));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(text(PatchFields[i]), QString::number(report[Report::Spi1Patch + i]));
        QCOMPARE(text("offset"), QString::number(report[Report::UniverseOffset]));
        QCOMPARE(window->findChild<QComboBox *>("output")->currentIndex(),
                 int(report[Report::OutputType]));
        QVERIFY(qFuzzyCompare(1 + shownMhz(text("spi1freq")),
                              1 + report[Report::Spi1Freq] * MhzPerStep));
        QVERIFY(qFuzzyCompare(1 + shownMhz(text("spi2freq")),
                              1 + report[Report::Spi2Freq] * MhzPerStep));
    }

private slots:
    void initTestCase()
    {
        resetToolState();
        const std::optional<NodeReport> held = readNodeDirectly();
        QVERIFY2(held.has_value(), "the node did not answer a configuration request");
        original = *held;
    }

    void cleanupTestCase()
    {
        window.reset();
        resetToolState();
        QVERIFY2(restoreNodeDirectly(original), "the node did not take back its configuration");
    }

    void init() { openWindow(); }
    void cleanup() { window.reset(); }

    void plugInShowsNodeConfiguration()
    {
        readBack();
        QCOMPARE(window->findChild<QLabel *>("display")->text(),
                 QString::fromUtf8(Status::ConnectedToNode));
        verifyFieldsShow(original);
        const int capacity = original[Report::MaxUniverses];
        if (capacity == SmallCapacity || capacity == LargeCapacity)
            QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), QString::number(capacity));
    }

    void editAndSend_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("chip");
        QTest::addColumn<QString>("clock");
        QTest::addColumn<int>("clockByte");
        QTest::newRow("host octet, LPD6803")
            << "ipa4" << "77" << int(Report::IpAddress + 3) << 2 << "1" << 20;
        QTest::newRow("broadcast, SN16716")
            << "ipb1" << "10" << int(Report::IpBroadcast) << 3 << "12" << 240;
        QTest::newRow("last universe")
            << "spi2p8" << "99" << int(Report::Spi2Patch + 7) << 2 << "2" << 40;
    }

    void editAndSend()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, offset);
        QFETCH(int, chip);
        QFETCH(QString, clock);
        QFETCH(int, clockByte);
        readBack();
        // A clocked chip, so that the clock fields are shown and typed into.
        window->findChild<QComboBox *>("output")->setCurrentIndex(chip);
        type(field.toLatin1().constData(), value);
        type("spi1freq", clock);
        type("spi2freq", clock);
        type("offset", "4");
        click("bSend");
        readBack();

        QCOMPARE(text(field.toLatin1().constData()), value);
        const NodeReport held = nodeNow();
        QCOMPARE(int(held[offset]), value.toInt());
        QCOMPARE(int(held[Report::OutputType]), chip);
        QCOMPARE(int(held[Report::Spi1Freq]), clockByte);
        QCOMPARE(int(held[Report::Spi2Freq]), clockByte);
        QCOMPARE(int(held[Report::UniverseOffset]), 4);
        verifyFieldsShow(held);
    }

    void factoryReset()
    {
        readBack();
        click("bReset");
        readBack();
        const NodeReport held = nodeNow();
        const bool large = original[Report::MaxUniverses] == LargeCapacity;
        NodeReport expected = {0, 2, 0, 0, 15, 255, 0, 0, 0, 2, 255, 255, 255, 2, 16, 16,
                               1, 2, 3, 4, 5, 6, 7, 8};
        if (large) {
            for (std::size_t i = 0; i < Report::PatchSlots; ++i)
                expected[Report::Spi2Patch + i] = static_cast<std::uint8_t>(9 + i);
        }
        QVERIFY(std::equal(expected.begin() + Report::ConfigFirst,
                           expected.begin() + Report::UniverseOffset + 1,
                           held.begin() + Report::ConfigFirst));
        verifyFieldsShow(held);
    }

    void threeCurtains()
    {
        readBack();
        window->findChild<QComboBox *>("cbRideau")->setCurrentIndex(1); // 3X2
        type("numRideau", "1");
        for (int curtain = 1; curtain <= 3; ++curtain) {
            click("bAddRideau");
            QCOMPARE(text("numRideau"), QString::number(curtain + 1));
            readBack();
            QCOMPARE(text("ipa1") + '.' + text("ipa2") + '.' + text("ipa3") + '.' + text("ipa4"),
                     QStringLiteral("2.0.0.%1").arg(14 + curtain));
            const NodeReport held = nodeNow();
            QCOMPARE(int(held[Report::IpAddress + 3]), 14 + curtain);
            QCOMPARE(int(held[Report::OutputType]), 2);
            const NodeReport patch = {0, 1, 2, 3, 4, 0, 0, 0, 0};
            QVERIFY(std::equal(patch.begin() + 1, patch.begin() + 9,
                               held.begin() + Report::Spi1Patch));
        }
    }

    void costume()
    {
        readBack();
        type("numCostume", "3");
        click("bAddCostume");
        QCOMPARE(text("numCostume"), QStringLiteral("4"));
        readBack();
        const NodeReport held = nodeNow();
        const NodeReport expected = {0, 2, 0, 0, 17, 255, 0, 0, 0, 2, 255, 255, 255, 1, 8, 8,
                                     1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 0, 0};
        QVERIFY(std::equal(expected.begin() + Report::ConfigFirst,
                           expected.begin() + Report::UniverseOffset + 1,
                           held.begin() + Report::ConfigFirst));
        verifyFieldsShow(held);
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TestHilWindow tests;
    return runWhenNodePresent(tests, argc, argv);
}

#include "tst_hil_window.moc"

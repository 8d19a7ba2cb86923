// The whole road with the real timers: the node is plugged in while the
// window runs, its configuration appears in every field, and unplugging it
// brings the waiting message back.

#include "testsupport.h"

#include "app/sharedstate.h"
#include "app/startup.h"
#include "sim/fakehid.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

// A read cycle takes the 500 ms pause after the request and a few ticks.
constexpr int ArrivalTimeoutMs = 3000;

QString editText(const MainWindow &window, const QString &name)
{
    const auto *const edit = window.findChild<QLineEdit *>(name);
    return edit != nullptr ? edit->text() : QStringLiteral("<no %1>").arg(name);
}

QString labelText(const MainWindow &window, const QString &name)
{
    const auto *const label = window.findChild<QLabel *>(name);
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(name);
}

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void nodeAppearsThenGoes();
};

void EndToEndTest::nodeAppearsThenGoes()
{
    resetSharedState();
    MainWindow window;
    window.show();
    startSearch();

    // A few search ticks, and the refresh after them, find no node.
    constexpr int EmptyTicks = 3;
    QSignalSpy searches(searchTimer, SIGNAL(timeout()));
    QTRY_VERIFY(searches.count() >= EmptyTicks);
    processRefresh(window);
    QCOMPARE(labelText(window, "display"), QStringLiteral("En attente de node"));
    QCOMPARE(editText(window, "ipa1"), QString());

    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());

    const std::vector<std::pair<QString, QString>> expected = {
        {"ipa1", "192"},    {"ipa2", "168"},    {"ipa3", "1"},      {"ipa4", "50"},
        {"ipm1", "255"},    {"ipm2", "255"},    {"ipm3", "255"},    {"ipm4", "0"},
        {"ipb1", "192"},    {"ipb2", "168"},    {"ipb3", "1"},      {"ipb4", "255"},
        {"spi1freq", "0,8"}, {"spi2freq", "0,8"},
        {"spi1p1", "1"},    {"spi1p2", "2"},    {"spi1p3", "3"},    {"spi1p4", "4"},
        {"spi1p5", "5"},    {"spi1p6", "6"},    {"spi1p7", "7"},    {"spi1p8", "8"},
        {"spi2p1", "9"},    {"spi2p2", "10"},   {"spi2p3", "11"},   {"spi2p4", "12"},
        {"spi2p5", "13"},   {"spi2p6", "14"},   {"spi2p7", "15"},   {"spi2p8", "16"},
        {"offset", "3"},
    };
    QTRY_COMPARE_WITH_TIMEOUT(labelText(window, "display"), QStringLiteral("Connecté au node"),
                              ArrivalTimeoutMs);
    for (const auto &field : expected)
        QTRY_COMPARE_WITH_TIMEOUT(editText(window, field.first), field.second, ArrivalTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(labelText(window, "maxUnivers"), QStringLiteral("16"),
                              ArrivalTimeoutMs);
    const auto *const output = window.findChild<QComboBox *>("output");
    QVERIFY(output != nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(output->currentText(), QStringLiteral("LPD6803"), ArrivalTimeoutMs);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(1));

    fakehid::unplug(node);
    QTRY_COMPARE_WITH_TIMEOUT(labelText(window, "display"), QStringLiteral("En attente de node"),
                              ArrivalTimeoutMs);
    QCOMPARE(labelText(window, "display2"), QStringLiteral("Connecté au node"));

    // The timer is process-wide and outlives this window.
    searchTimer->stop();
}

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"

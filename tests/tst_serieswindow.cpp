// The series window, opened from the real main window's menu, over
// simulated nodes plugged and pulled as a technician does: the rules of
// nodeconfig-cli series, one row per attempt, the log, and a stop that
// waits for the unit being written.

#include "app/sharedstate.h"
#include "clitestsupport.h"
#include "protocol/presets.h"
#include "ui/mainwindow.h"
#include "ui/serieswindow.h"
#include "usb/hidpacing.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QByteArray Utf8ByteOrderMark = "\xEF\xBB\xBF";
const QStringList WritingButtons = {"bSend", "bAddRideau", "bAddCostume", "bReset"};
constexpr int ResultColumn = 4;
constexpr int NumberColumn = 0;

int logRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    if (!content.startsWith(Utf8ByteOrderMark))
        return -1;
    return content.count('\n');
}

bool writingEnabled(const MainWindow &window)
{
    return std::all_of(WritingButtons.begin(), WritingButtons.end(), [&window](const QString &name) {
        return window.findChild<QPushButton *>(name)->isEnabled();
    });
}

bool writingDisabled(const MainWindow &window)
{
    return std::none_of(WritingButtons.begin(), WritingButtons.end(), [&window](const QString &name) {
        return window.findChild<QPushButton *>(name)->isEnabled();
    });
}

} // namespace

class TestSeriesWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unitsByPlugIn_data();
    void unitsByPlugIn();

private:
    // Runs one step of a script: "plug A", "unplug A", "replug A",
    // "rows N" (waits for the Nth row), "wait for a node" (until the series
    // asks for the next one), or "after write to A: X", where X
    // ("vanish", "stop", "close", "quit") happens once, right after the
    // series wrote a configuration to A.
    void step(const QString &line);

    std::unique_ptr<MainWindow> window;
    SeriesWindow *series = nullptr;
    QMap<QString, fakehid::DeviceId> nodes;
    QMap<QString, QString> afterWrite; // node -> what happens after its write
};

void TestSeriesWindow::init()
{
    resetCliState();
    setHidPacing(WindowPacing);
    nodes.clear();
    afterWrite.clear();
    // Nothing sleeps; after a configuration write, the script may act.
    setHidPause([this](int) {
        for (auto planned = afterWrite.begin(); planned != afterWrite.end(); ++planned) {
            const fakehid::DeviceId device = nodes.value(planned.key());
            const std::vector<NodeReport> &received = fakehid::node(device).receivedReports();
            if (received.empty() || received.back()[Report::Command] != cmdWriteConfig)
                continue;
            const QString action = planned.value();
            afterWrite.erase(planned);
            if (action == "vanish")
                fakehid::unplug(device);
            else if (action == "stop")
                series->findChild<QPushButton *>("bStop")->click();
            else if (action == "close")
                series->close();
            else if (action == "quit")
                window->findChild<QAction *>("actionQuit")->trigger();
            return;
        }
    });
}

void TestSeriesWindow::cleanup()
{
    series = nullptr;
    window.reset();
    setHidPause({});
}

void TestSeriesWindow::step(const QString &line)
{
    const QStringList words = line.split(' ');
    const QString name = words.last();
    if (line.startsWith("plug "))
        nodes[name] = fakehid::plug(sampleConfiguration(), LargeCapacity,
                                    withSerial(L"0001")); // every node: one serial number
    else if (line.startsWith("unplug "))
        fakehid::unplug(nodes.value(name));
    else if (line.startsWith("replug "))
        fakehid::setPresenceSchedule(nodes.value(name), {true});
    else if (line.startsWith("rows "))
        QTRY_COMPARE(series->findChild<QTableWidget *>("attempts")->rowCount(), name.toInt());
    else if (line == "wait for a node")
        QTRY_VERIFY(series->findChild<QLabel *>("notes")->text().startsWith("Branchez"));
    else if (line.startsWith("after write to "))
        afterWrite[words[3].chopped(1)] = name;
    else
        QFAIL(qPrintable("unknown step " + line));
}

void TestSeriesWindow::unitsByPlugIn_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("rows");  // "number result" for each attempt
    QTest::addColumn<bool>("running");      // at the end of the script
    QTest::addColumn<QStringList>("units"); // "node number": the curtain it holds

    QTest::newRow("three nodes, one serial number")
        << QStringList{"plug A", "rows 1", "unplug A", "plug B", "rows 2", "unplug B",
                       "plug C", "rows 3"}
        << QStringList{"1 vérifié", "2 vérifié", "3 vérifié"} << true
        << QStringList{"A 1", "B 2", "C 3"};
    QTest::newRow("the same node replugged")
        << QStringList{"plug A", "rows 1", "unplug A", "wait for a node", "replug A", "rows 2"}
        << QStringList{"1 vérifié", "1 déjà configuré"} << true << QStringList{"A 1"};
    QTest::newRow("unplugged before its read-back")
        << QStringList{"after write to A: vanish", "plug A", "rows 1", "replug A", "rows 2"}
        << QStringList{"1 échec : le node ne répond pas à la relecture", "1 vérifié"} << true
        << QStringList{"A 1"};
    QTest::newRow("Arrêter during a write")
        << QStringList{"after write to A: stop", "plug A", "rows 1", "unplug A", "plug B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
    QTest::newRow("series window closed during a write")
        << QStringList{"after write to A: close", "plug A", "rows 1", "unplug A", "plug B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
    QTest::newRow("quit during a write")
        << QStringList{"after write to A: quit", "plug A", "rows 1", "unplug A", "plug B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
}

void TestSeriesWindow::unitsByPlugIn()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, rows);
    QFETCH(bool, running);
    QFETCH(QStringList, units);

    window = std::make_unique<MainWindow>();
    window->show();
    window->findChild<QLineEdit *>("numRideau")->setText("1");
    window->findChild<QComboBox *>("cbRideau")->setCurrentIndex(CurtainSize::FourByTwo);
    window->findChild<QAction *>("actionSeries")->trigger();
    series = window->findChild<SeriesWindow *>();
    QVERIFY(series);
    QVERIFY(series->isVisible());
    QVERIFY(!series->isModal());
    QCOMPARE(series->findChild<QLineEdit *>("firstNumber")->text(), QString("1"));
    QCOMPARE(series->findChild<QComboBox *>("kind")->currentText(), QString("Rideau 4X2"));

    QTemporaryDir dir;
    const QString logPath = dir.filePath("série é.csv");
    series->findChild<QLineEdit *>("logPath")->setText(logPath);
    series->findChild<QPushButton *>("bStart")->click();
    QVERIFY(series->isRunning());
    QVERIFY(writingDisabled(*window));

    for (const QString &line : script) {
        step(line);
        if (QTest::currentTestFailed())
            return;
    }

    auto *const table = series->findChild<QTableWidget *>("attempts");
    QStringList shown;
    for (int row = 0; row < table->rowCount(); ++row)
        shown << table->item(row, NumberColumn)->text() + ' ' + table->item(row, ResultColumn)->text();
    QCOMPARE(shown, rows);
    QCOMPARE(series->isRunning(), running);
    QCOMPARE(writingEnabled(*window), !running);
    QCOMPARE(logRows(logPath), rows.size() + 1);
    const QString last = rows.last();
    const QString result = series->findChild<QLabel *>("result")->text();
    QCOMPARE(result, "Rideau " + last.section(' ', 0, 0) + " : "
                         + (last.contains("échec") ? QString("ÉCHEC") : last.section(' ', 1)));

    for (const QString &unit : units) {
        const fakehid::DeviceId device = nodes.value(unit.section(' ', 0, 0));
        const int number = unit.section(' ', 1).toInt();
        if (number == 0) {
            QCOMPARE(writesTo(device), 0);
            continue;
        }
        NodeReport expected = curtainReport(number, CurtainSize::FourByTwo, LargeCapacity);
        expected[Report::MaxUniverses] = LargeCapacity;
        NodeReport held = fakehid::node(device).configuration();
        held[Report::Command] = cmdWriteConfig;
        COMPARE_REPORT(held, expected);
    }

    series->findChild<QPushButton *>("bStop")->click();
    QVERIFY(!series->isRunning());
    QVERIFY(writingEnabled(*window));
}

QTEST_MAIN(TestSeriesWindow)
#include "tst_serieswindow.moc"

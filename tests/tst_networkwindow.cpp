// The network window, opened from the main window's menu, over simulated
// nodes answering on loopback addresses: the list, conflicts, the form's
// node, and the test pattern with its black end. Only 127.0.0.x is polled.

#include "app/startup.h"
#include "link/stoprequest.h"
#include "series/serieslog.h"
#include "sim/artnetresponder.h"
#include "testsupport.h"
#include "ui/filechooser.h"
#include "ui/mainwindow.h"
#include "ui/networkwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>
#include <set>

namespace {

constexpr int AddressColumn = 0;
constexpr int UniversesColumn = 3;
constexpr int RemarkColumn = 6;
const QColor ConflictColour(0xD0, 0x31, 0x2D);
// sampleConfiguration(): patch 1..16 and offset 3, as the node numbers them
// and as Art-Net writes them.
const QString SampleUniverses = QStringLiteral("4–19 [0.0.4–0.1.3]");

} // namespace

class TestNetworkWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nodesOnLoopback_data();
    void nodesOnLoopback();

private:
    // One step of a script: "node NAME ADDRESS MAC" (a simulated node),
    // "form ADDRESS" (the main form's address), "open", "close", "rows N",
    // "row I is NAME" (its address and universes), "red ADDRESS" and
    // "plain ADDRESS" (every row at that address), "seen", "not seen",
    // "test I", "stop", "dmx NAME" (the pattern on every universe NAME
    // reports), "black NAME" (the run over, each universe's last frame
    // black), "silent" (nothing sent to any node), "check N@ADDRESS..."
    // (Vérifier un journal… on a log of those verified curtains),
    // "report: TEXT" (a line of the check's report starts so), "hold port"
    // (another program holds the port the window listens on), "port
    // warning" (the window says so and listens not), "listen anyway",
    // "refused I" (Tester on row I sends nothing: a conflict), "conflict
    // box" (Tester aussi une adresse en conflit), "one stream NAME" (each
    // frame once per universe), "quit" (the application quitting), "end
    // request" (SIGTERM or a closed terminal to the window program).
    void step(const QString &line);
    QTableWidget *table() const;
    std::vector<int> rowsAt(const QString &address) const;
    NetworkReach reach() const;

    void checkLog(const QStringList &units);

    std::unique_ptr<MainWindow> window;
    QMap<QString, std::shared_ptr<ArtNetResponder>> nodes;
    std::unique_ptr<QUdpSocket> console; // another program on the window's port
    QTemporaryDir folder;
};

void TestNetworkWindow::init()
{
    resetToolState();
    window = std::make_unique<MainWindow>();
}

void TestNetworkWindow::cleanup()
{
    clearStopRequest();
    window.reset();
    nodes.clear();
    console.reset();
    setFileChooser({});
}

void TestNetworkWindow::checkLog(const QStringList &units)
{
    const QString path = folder.filePath(QStringLiteral("série %1.csv").arg(QTest::currentDataTag()));
    SeriesLog log;
    QVERIFY(log.open(path).isEmpty());
    for (const QString &unit : units) {
        SeriesRow row;
        row.number = unit.section('@', 0, 0).toInt();
        row.address = unit.section('@', 1);
        row.time = QDateTime::currentDateTime();
        row.result = SeriesResult::verified();
        row.kind = UnitKind::Curtain;
        log.append(row);
    }
    setFileChooser([path](QWidget *, const FileQuestion &) { return path; });
    window->networkWindowShown()->findChild<QPushButton *>("bCheckLog")->click();
}

NetworkReach TestNetworkWindow::reach() const
{
    NetworkReach reach;
    reach.bindAddress = QHostAddress(QHostAddress::LocalHost);
    reach.bindPort = console ? console->localPort() : 0;
    reach.fixed = true;
    for (const auto &node : nodes)
        reach.targets.push_back({node->address(), node->port()});
    return reach;
}

QTableWidget *TestNetworkWindow::table() const
{
    return window->networkWindowShown()->findChild<QTableWidget *>("nodes");
}

std::vector<int> TestNetworkWindow::rowsAt(const QString &address) const
{
    std::vector<int> found;
    for (int row = 0; row < table()->rowCount(); ++row)
        if (table()->item(row, AddressColumn)->text() == address)
            found.push_back(row);
    return found;
}

void TestNetworkWindow::step(const QString &line)
{
    const QStringList words = line.split(' ');
    const QString last = words.last();
    NetworkWindow *const shown = window->networkWindowShown();
    if (words[0] == "node") {
        auto node = std::make_shared<ArtNetResponder>();
        node->setConfiguration(sampleConfiguration());
        node->setMac({0x02, 0, 0, 0, 0, static_cast<std::uint8_t>(last.toInt())});
        QVERIFY2(node->start(QHostAddress(words[2]), 0), qPrintable(node->errorText()));
        nodes[words[1]] = node;
    } else if (words[0] == "form") {
        const QStringList octets = last.split('.');
        const QStringList edits = {"ipa1", "ipa2", "ipa3", "ipa4"};
        for (int index = 0; index < edits.size(); ++index)
            window->findChild<QLineEdit *>(edits[index])->setText(octets[index]);
    } else if (line == "open") {
        window->setNetworkReach(reach());
        window->findChild<QAction *>("actionNetwork")->trigger();
        QVERIFY(window->networkWindowShown()->isVisible());
    } else if (line == "close") {
        shown->close();
        QVERIFY(!shown->nodeDiscovery().isRunning());
    } else if (words[0] == "rows") {
        QTRY_COMPARE(table()->rowCount(), last.toInt());
    } else if (words[0] == "row") {
        const int row = words[1].toInt();
        QCOMPARE(table()->item(row, AddressColumn)->text(), nodes[last]->address().toString());
        QCOMPARE(table()->item(row, UniversesColumn)->text(), SampleUniverses);
    } else if (words[0] == "red" || words[0] == "plain") {
        const bool red = words[0] == "red";
        const std::vector<int> rows = rowsAt(last);
        QVERIFY(!rows.empty());
        for (const int row : rows) {
            QCOMPARE(table()->item(row, AddressColumn)->foreground().color() == ConflictColour, red);
            QCOMPARE(table()->item(row, RemarkColumn)->text().isEmpty(), !red);
        }
    } else if (line == "seen" || line == "not seen") {
        const auto *const mark = shown->findChild<QLabel *>("formNode");
        QTRY_COMPARE(mark->text().endsWith("vu sur le réseau"), line == "seen");
    } else if (words[0] == "test") {
        table()->selectRow(last.toInt());
        shown->findChild<QPushButton *>("bTest")->click();
        QVERIFY(shown->patternSender().isRunning());
    } else if (line == "stop") {
        shown->findChild<QPushButton *>("bStop")->click();
    } else if (words[0] == "dmx") {
        const ArtNetResponder &node = *nodes[last];
        const std::vector<int> reported = node.universes();
        const std::set<int> expected(reported.begin(), reported.end());
        std::set<int> received;
        QTRY_VERIFY(([&] {
            for (const ArtNet::DmxPacket &packet : node.receivedDmx())
                received.insert(packet.portAddress);
            return received == expected;
        }()));
    } else if (words[0] == "black") {
        QVERIFY(!shown->patternSender().isRunning());
        const ArtNetResponder &node = *nodes[last];
        QMap<int, QByteArray> lastFrames;
        QTRY_VERIFY(([&] {
            for (const ArtNet::DmxPacket &packet : node.receivedDmx())
                lastFrames[packet.portAddress] = packet.data;
            return lastFrames.size() == static_cast<int>(node.universes().size()) &&
                   std::all_of(lastFrames.begin(), lastFrames.end(), [](const QByteArray &frame) {
                       return frame.count('\0') == frame.size();
                   });
        }()));
    } else if (words[0] == "check") {
        checkLog(words.mid(1));
    } else if (line.startsWith("report: ")) {
        const QString report = shown->findChild<QPlainTextEdit *>("checkReport")->toPlainText();
        const QString expected = line.mid(line.indexOf(' ') + 1);
        const QStringList lines = report.split('\n');
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString &shown) { return shown.startsWith(expected); }),
                 qPrintable(report));
    } else if (line == "hold port") {
        console = std::make_unique<QUdpSocket>();
        QVERIFY(console->bind(QHostAddress(QHostAddress::LocalHost), 0,
                              QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint));
    } else if (line == "port warning") {
        const auto *const warning = shown->findChild<QLabel *>("portWarning");
        QVERIFY(warning->isVisible());
        QVERIFY(shown->findChild<QPushButton *>("bSharePort")->isVisible());
        QVERIFY2(warning->text().startsWith(QStringLiteral("Le port UDP %1 est déjà ouvert par un "
                                                           "autre programme")
                                                .arg(console->localPort())),
                 qPrintable(warning->text()));
        QVERIFY(!shown->nodeDiscovery().isRunning());
    } else if (line == "listen anyway") {
        shown->findChild<QPushButton *>("bSharePort")->click();
        QVERIFY(shown->nodeDiscovery().isRunning());
        QVERIFY(!shown->findChild<QLabel *>("portWarning")->isVisible());
    } else if (words[0] == "refused") {
        table()->selectRow(last.toInt());
        shown->findChild<QPushButton *>("bTest")->click();
        QVERIFY(!shown->patternSender().isRunning());
        const QString notes = shown->findChild<QLabel *>("notes")->text();
        QVERIFY2(notes.contains("Conflit : ") && notes.contains("La mire n'est pas envoyée"),
                 qPrintable(notes));
    } else if (line == "conflict box") {
        shown->findChild<QCheckBox *>("cConflictTest")->setChecked(true);
    } else if (words[0] == "one" && words[1] == "stream") {
        std::set<std::pair<int, int>> frames;
        for (const ArtNet::DmxPacket &packet : nodes[last]->receivedDmx())
            QVERIFY2(frames.insert({packet.portAddress, packet.sequence}).second,
                     qPrintable(QStringLiteral("universe %1 took sequence %2 twice")
                                    .arg(packet.portAddress)
                                    .arg(packet.sequence)));
    } else if (line == "quit") {
        QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection));
    } else if (line == "end request") {
        closeWindowsOnStopRequest(*window);
        requestStop();
        QTRY_VERIFY(!window->isVisible() && !shown->isVisible());
    } else if (line == "silent" || line == "silent dmx") {
        QCoreApplication::processEvents();
        for (const auto &node : nodes) {
            if (line == "silent")
                QCOMPARE(node->pollsAnswered(), 0);
            QVERIFY(node->receivedDmx().empty());
        }
    } else {
        QFAIL(qPrintable("unknown step " + line));
    }
}

void TestNetworkWindow::nodesOnLoopback_data()
{
    QTest::addColumn<QStringList>("script");

    QTest::newRow("a node listed with its universes, in one row for its four replies")
        << QStringList{"node A 127.0.0.2 1", "silent", "open", "rows 1", "row 0 is A"};
    QTest::newRow("two MACs at one address are a conflict, a third node is not")
        << QStringList{"node A 127.0.0.3 1", "node B 127.0.0.3 2", "node C 127.0.0.4 3",
                       "open", "rows 3", "red 127.0.0.3", "plain 127.0.0.4"};
    QTest::newRow("nodes sharing universes at their own addresses are no conflict")
        << QStringList{"node A 127.0.0.5 1", "node B 127.0.0.6 2", "open", "rows 2",
                       "plain 127.0.0.5", "plain 127.0.0.6"};
    QTest::newRow("the form's node seen, then another address not yet seen")
        << QStringList{"form 127.0.0.7", "node A 127.0.0.7 1", "open", "rows 1", "seen",
                       "form 127.0.0.8", "not seen", "form 127.0.0.7", "seen"};
    QTest::newRow("the form's node not seen while nothing answers")
        << QStringList{"form 2.0.0.15", "node A 127.0.0.9 1", "open", "rows 1", "not seen"};
    QTest::newRow("a log checked against the nodes heard: one unit there, one missing")
        << QStringList{"node A 127.0.0.12 1", "open", "rows 1",
                       "check 1@127.0.0.12 2@127.0.0.13",
                       "report: Unité 1 (127.0.0.12) : présente",
                       "report: Unité 2 (127.0.0.13) : absente",
                       "report: La série ne correspond pas à son journal : voir ci-dessus."};
    QTest::newRow("Tester on the node's universes, black on Arrêter")
        << QStringList{"node A 127.0.0.10 1", "open", "rows 1", "test 0", "dmx A", "stop",
                       "black A"};
    QTest::newRow("Tester ends black when the window closes, and polling stops")
        << QStringList{"node A 127.0.0.11 1", "open", "rows 1", "test 0", "dmx A", "close",
                       "black A"};
    QTest::newRow("Tester ends black when the application quits (the session ending)")
        << QStringList{"node A 127.0.0.14 1", "open", "rows 1", "test 0", "dmx A", "quit",
                       "black A"};
    QTest::newRow("Tester ends black on SIGTERM or a closed terminal: every window closes")
        << QStringList{"node A 127.0.0.15 1", "open", "rows 1", "test 0", "dmx A", "end request",
                       "black A"};
    QTest::newRow("two nodes at one address: no pattern until asked, then one stream each")
        << QStringList{"node A 127.0.0.16 1", "node B 127.0.0.16 2", "open", "rows 2",
                       "refused 0", "silent dmx", "conflict box", "test 0", "dmx A", "stop",
                       "black A", "one stream A"};
    QTest::newRow("another program on the port: silent until the technician agrees, "
                  "for as long as the window stays open")
        << QStringList{"node A 127.0.0.17 1", "hold port", "open", "port warning", "silent",
                       "listen anyway", "rows 1", "close", "open", "port warning"};
}

void TestNetworkWindow::nodesOnLoopback()
{
    if (runsUnderWine())
        QSKIP("Wine loses the loopback datagrams of this case");
    QFETCH(QStringList, script);
    for (const QString &line : script) {
        step(line);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable("at step: " + line));
    }
}

QTEST_MAIN(TestNetworkWindow)
#include "tst_networkwindow.moc"

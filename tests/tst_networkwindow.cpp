// The network window, opened from the main window's menu, over simulated
// nodes answering on loopback addresses: the list, conflicts, the form's
// node, and the test pattern with its black end. Only 127.0.0.x is polled.

#include "clitestsupport.h"
#include "app/startup.h"
#include "link/stoprequest.h"
#include "series/serieslog.h"
#include "sim/artnetresponder.h"
#include "testsupport.h"
#include "ui/filechooser.h"
#include "ui/mainwindow.h"
#include "ui/networkwindow.h"
#include "ui/nodetablemodel.h"

#include <QAction>
#include <QHeaderView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QNetworkDatagram>
#include <QSortFilterProxyModel>
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

// A simulated rig for the window on the test's clock: node i answers from
// 127.2.0.i+1 with what its state says, to each poll that reaches `poller`.
struct RigNode {
    QByteArray name = "n";
    std::vector<int> universes{1, 2};
    bool answers = true;
};

constexpr int RigSize = 300;
constexpr int Watched = 17; // the node the cases change, selected

QString rigAddress(int node)
{
    return QStringLiteral("127.2.%1.%2").arg(node / 250).arg(node % 250 + 1);
}

ArtNet::PollReply rigReply(const RigNode &node, int number)
{
    ArtNet::PollReply reply;
    reply.ipField = QHostAddress(rigAddress(number)).toIPv4Address();
    reply.shortName = node.name;
    reply.mac = {0x02, 0, 0, 0, static_cast<std::uint8_t>(number >> 8),
                 static_cast<std::uint8_t>(number)};
    reply.bindIndex = 1;
    reply.numPorts = static_cast<std::uint16_t>(node.universes.size());
    for (std::size_t port = 0; port < node.universes.size(); ++port) {
        reply.portTypes[port] = 0x80;
        reply.swOut[port] = static_cast<std::uint8_t>(node.universes[port]);
    }
    return reply;
}

} // namespace

class TestNetworkWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void nodesOnLoopback_data();
    void nodesOnLoopback();
    void manyRowsOnTheTestsClock_data();
    void manyRowsOnTheTestsClock();

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
    QAbstractItemModel *table() const;
    QString cell(int row, int column) const;
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

QAbstractItemModel *TestNetworkWindow::table() const
{
    return window->networkWindowShown()->findChild<QTableView *>("nodes")->model();
}

QString TestNetworkWindow::cell(int row, int column) const
{
    return table()->index(row, column).data().toString();
}

std::vector<int> TestNetworkWindow::rowsAt(const QString &address) const
{
    std::vector<int> found;
    for (int row = 0; row < table()->rowCount(); ++row)
        if (cell(row, AddressColumn) == address)
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
        QCOMPARE(cell(row, AddressColumn), nodes[last]->address().toString());
        QCOMPARE(cell(row, UniversesColumn), SampleUniverses);
    } else if (words[0] == "red" || words[0] == "plain") {
        const bool red = words[0] == "red";
        const auto allAlike = [&] {
            const std::vector<int> rows = rowsAt(last);
            return !rows.empty() && std::all_of(rows.begin(), rows.end(), [&](int row) {
                const QVariant colour = table()->index(row, AddressColumn).data(Qt::ForegroundRole);
                return (colour.value<QBrush>().color() == ConflictColour) == red
                       && cell(row, RemarkColumn).isEmpty() == !red;
            });
        };
        QTRY_VERIFY(allAlike());
    } else if (line == "seen" || line == "not seen") {
        const auto *const mark = shown->findChild<QLabel *>("formNode");
        QTRY_COMPARE(mark->text().endsWith("vu sur le réseau"), line == "seen");
    } else if (words[0] == "test") {
        shown->findChild<QTableView *>("nodes")->selectRow(last.toInt());
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
        shown->findChild<QTableView *>("nodes")->selectRow(last.toInt());
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
    QTest::newRow("two MACs at one address are a conflict in one row, a third node is not")
        << QStringList{"node A 127.0.0.3 1", "node B 127.0.0.3 2", "node C 127.0.0.4 3",
                       "open", "rows 2", "red 127.0.0.3", "plain 127.0.0.4"};
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
        << QStringList{"node A 127.0.0.16 1", "node B 127.0.0.16 2", "open", "rows 1",
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

void TestNetworkWindow::manyRowsOnTheTestsClock_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("cells"); // "node:column" told changed, besides the times
    QTest::addColumn<bool>("everyTime");    // every row's time told

    const auto at = [](int column) { return QStringLiteral("%1:%2").arg(Watched).arg(column); };
    QTest::newRow("a second later: the times alone, all at once")
        << "second" << QStringList() << true;
    QTest::newRow("the next poll, nothing else changed")
        << "poll" << QStringList() << true;
    QTest::newRow("a node's patch changed: its universes")
        << "patch" << QStringList{at(NodeTableModel::UniversesColumn)} << true;
    QTest::newRow("a node renamed, its name far longer: its name, the columns as they were")
        << "rename" << QStringList{at(NodeTableModel::NameColumn)} << true;
    QTest::newRow("the form's node: its row in bold")
        << "form" << QStringList{at(NodeTableModel::AddressColumn)} << false;
    QTest::newRow("a node silent for three polls: its row greyed")
        << "silent" << QStringList{at(NodeTableModel::AddressColumn)} << true;
}

// 300 nodes, the watched one selected and the list sorted by universes:
// each change tells the view only the cells it changed, leaves the
// columns' widths alone and keeps the watched node selected.
void TestNetworkWindow::manyRowsOnTheTestsClock()
{
    if (runsUnderWine())
        QSKIP("Wine answers from 127.0.0.1 whatever loopback address a socket is bound to");
    QFETCH(QString, change);
    QFETCH(QStringList, cells);
    QFETCH(bool, everyTime);

    std::vector<RigNode> rig(RigSize);
    std::vector<std::unique_ptr<QUdpSocket>> sockets;
    for (int node = 0; node < RigSize; ++node) {
        sockets.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(sockets.back()->bind(QHostAddress(rigAddress(node)), 0));
    }
    QUdpSocket poller;
    QVERIFY(poller.bind(QHostAddress("127.2.10.1"), 0));
    connect(&poller, &QUdpSocket::readyRead, this, [&] {
        while (poller.hasPendingDatagrams()) {
            const QNetworkDatagram poll = poller.receiveDatagram();
            for (int node = 0; node < RigSize; ++node) {
                if (rig[static_cast<std::size_t>(node)].answers)
                    sockets[static_cast<std::size_t>(node)]->writeDatagram(
                        ArtNet::encodePollReply(rigReply(rig[static_cast<std::size_t>(node)], node)),
                        poll.senderAddress(), static_cast<quint16>(poll.senderPort()));
            }
        }
    });
    NetworkReach reach;
    reach.bindAddress = QHostAddress(QHostAddress::LocalHost);
    reach.bindPort = 0;
    reach.fixed = true;
    reach.targets = {{poller.localAddress(), poller.localPort()}};
    FakeClock clock;
    NetworkWindow window(nullptr, reach, &clock);
    window.show();
    NodeDiscovery &discovery = window.nodeDiscovery();
    // A poll on the test's clock, and every answer in.
    const auto pollRound = [&] {
        clock.now += NodeDiscovery::PollIntervalMs;
        discovery.pollNow();
        const auto answering = std::count_if(rig.begin(), rig.end(), [](const RigNode &node) { return node.answers; });
        QTRY_COMPARE(std::count_if(discovery.nodes().begin(), discovery.nodes().end(),
                                   [&](const SeenNode &node) { return node.lastSeenMs == clock.now; }),
                     answering);
        window.showNodes();
    };
    auto *const view = window.findChild<QTableView *>("nodes");
    auto *const sorted = qobject_cast<QSortFilterProxyModel *>(view->model());
    QAbstractItemModel *const model = sorted->sourceModel();
    const auto nodeOfRow = [&](int row) {
        const QString address = model->index(row, NodeTableModel::AddressColumn).data().toString();
        for (int node = 0; node < RigSize; ++node)
            if (rigAddress(node) == address)
                return node;
        return -1;
    };
    const auto selectedNode = [&] {
        const QModelIndexList selected = view->selectionModel()->selectedRows();
        return selected.size() == 1 ? nodeOfRow(sorted->mapToSource(selected.front()).row()) : -1;
    };

    pollRound();
    pollRound();
    QCOMPARE(model->rowCount(), RigSize);
    view->sortByColumn(NodeTableModel::UniversesColumn, Qt::DescendingOrder);
    for (int row = 0; row < RigSize; ++row)
        if (nodeOfRow(sorted->mapToSource(sorted->index(row, 0)).row()) == Watched)
            view->selectRow(row);
    QCOMPARE(selectedNode(), Watched);
    std::vector<int> widths;
    for (int column = 0; column < NodeTableModel::ColumnCount; ++column)
        widths.push_back(view->horizontalHeader()->sectionSize(column));

    QSignalSpy told(model, &QAbstractItemModel::dataChanged);
    RigNode &watched = rig[Watched];
    if (change == "second") {
        clock.now += 1000;
        window.showTimes();
    } else if (change == "poll") {
        pollRound();
    } else if (change == "patch") {
        watched.universes = {9, 10, 11};
        pollRound();
    } else if (change == "rename") {
        watched.name = "un nom bien long!";
        pollRound();
    } else if (change == "form") {
        window.setFormAddress(rigAddress(Watched));
        window.showNodes();
    } else if (change == "silent") {
        watched.answers = false;
        for (int poll = 0; poll < NodeDiscovery::PollsBeforeGone + 1; ++poll)
            pollRound();
    }

    std::set<QString> toldCells;
    std::set<int> timedRows;
    for (const QList<QVariant> &signal : told) {
        const QModelIndex from = signal[0].value<QModelIndex>();
        const QModelIndex to = signal[1].value<QModelIndex>();
        for (int row = from.row(); row <= to.row(); ++row)
            for (int column = from.column(); column <= to.column(); ++column) {
                if (column == NodeTableModel::SeenColumn)
                    timedRows.insert(row);
                else
                    toldCells.insert(QStringLiteral("%1:%2").arg(nodeOfRow(row)).arg(column));
            }
    }
    // A row's look (bold, grey) is told for its every cell.
    if (change == "form" || change == "silent")
        for (int column = 1; column < NodeTableModel::ColumnCount; ++column)
            if (column != NodeTableModel::SeenColumn)
                cells << QStringLiteral("%1:%2").arg(Watched).arg(column);
    const std::set<QString> expected(cells.begin(), cells.end());
    QCOMPARE(QStringList(toldCells.begin(), toldCells.end()),
             QStringList(expected.begin(), expected.end()));
    if (everyTime)
        QCOMPARE(int(timedRows.size()), RigSize);
    if (change == "second")
        QCOMPARE(told.size(), 1);
    QCOMPARE(selectedNode(), Watched);
    for (int column = 0; column < NodeTableModel::ColumnCount; ++column)
        QCOMPARE(view->horizontalHeader()->sectionSize(column), widths[static_cast<std::size_t>(column)]);
}

QTEST_MAIN(TestNetworkWindow)
#include "tst_networkwindow.moc"

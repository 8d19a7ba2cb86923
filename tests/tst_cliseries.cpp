// nodeconfig-cli series: units set up one after another by plug-in alone,
// with nodes plugged, pulled and replugged by a scripted bench.

#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "protocol/presets.h"
#include "series/heldnumbers.h"
#include "series/serieslog.h"
#include "series/seriesrun.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <vector>

namespace {

using Step = std::function<void()>;

// Each time the tool sleeps (waiting for a node, or for it to go), the
// bench does its next step; once the script is used up it asks to stop,
// so that a tool that waits more than expected ends instead of hanging.
void runScript(FakeClock &clock, std::vector<Step> &steps)
{
    clock.onSleep = [&clock, &steps] {
        const std::size_t index = static_cast<std::size_t>(clock.sleeps - 1);
        if (index < steps.size())
            steps[index]();
        else
            requestStop();
    };
}

void replug(fakehid::DeviceId device)
{
    fakehid::setPresenceSchedule(device, {true});
}

NodeReport storedConfiguration(fakehid::DeviceId device)
{
    NodeReport report = fakehid::node(device).configuration();
    report[Report::Command] = cmdWriteConfig;
    return report;
}

const QByteArray Utf8ByteOrderMark = "\xEF\xBB\xBF";

// The log's rows, once it is known to start with the byte-order mark.
QStringList csvRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    if (!content.startsWith(Utf8ByteOrderMark))
        return {QStringLiteral("no byte-order mark")};
    return QString::fromUtf8(content.mid(Utf8ByteOrderMark.size())).split('\n', Qt::SkipEmptyParts);
}

QString labelOf(fakehid::DeviceId device, const QString &serial)
{
    const QString path = QString::fromStdString(fakehid::pathOf(device));
    return serial.isEmpty() ? path + " (sans numéro de série)" : path + " (série " + serial + ")";
}

// What the series prints for a plug-in: "2" for unit 2 written and
// verified, "=2" for a node that already holds unit 2.
QString expectedLine(const QString &outcome, const QString &label)
{
    if (outcome.startsWith('='))
        return QString("Node %1 déjà configuré dans cette série (rideau %2) : pas réécrit")
            .arg(label, outcome.mid(1));
    const int unit = outcome.toInt();
    return QString("Rideau %1 : 2.0.0.%2, 16 univers, %3 : vérifié").arg(unit).arg(unit + 14).arg(label);
}

} // namespace

class TestCliSeries : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCliState(); }
    void cleanup()
    {
        clearStopRequest();
        SeriesLog::setSync({});
    }
    void seriesOnABench();
    void nodesTellApartByConfiguration_data();
    void nodesTellApartByConfiguration();
    void stopEndsWithSummary_data();
    void stopEndsWithSummary();
    void logNotASeriesLog_data();
    void logNotASeriesLog();
    void logIsTheMemory_data();
    void logIsTheMemory();
    void logFaults_data();
    void logFaults();
};

// Four curtains: a replugged unit with a serial number and one without are
// not written again; a refused write and a node that keeps its old
// configuration keep the number; two nodes at once are waited out.
void TestCliSeries::seriesOnABench()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath("series.csv");
    const NodeReport spare = sampleConfiguration();
    fakehid::DeviceId a = -1, b = -1, c = -1, d = -1, e = -1;
    std::vector<Step> steps = {
        [&] { a = fakehid::plug(spare, LargeCapacity, withSerial(L"A1")); },
        [&] { fakehid::unplug(a); },
        [&] { replug(a); },
        [&] { fakehid::unplug(a); },
        [&] {
            b = fakehid::plug(spare, LargeCapacity, withSerial(L"B2"));
            fakehid::setConfigurationWritesRefused(b, true);
        },
        [&] {
            fakehid::unplug(b);
            fakehid::setConfigurationWritesRefused(b, false);
        },
        [&] { replug(b); },
        [&] { fakehid::unplug(b); },
        [&] {
            c = fakehid::plug(spare);
            fakehid::node(c).setIgnoresWrites(true);
        },
        [&] {
            fakehid::unplug(c);
            fakehid::node(c).setIgnoresWrites(false);
        },
        [&] { replug(c); },
        [&] { fakehid::unplug(c); },
        [&] { replug(c); },
        [&] { fakehid::unplug(c); },
        [&] {
            d = fakehid::plug(spare, SmallCapacity);
            e = fakehid::plug(spare);
        },
        [&] { fakehid::unplug(e); },
    };
    FakeClock clock;
    runScript(clock, steps);

    const CliRun run = runCli({"series", "curtain", "--from", "1", "--size", "4X2", "--count", "4",
                               "--log", logPath},
                              clock);
    QCOMPARE(run.status, Exit::Done);
    QCOMPARE(clock.sleeps, int(steps.size()));
    const QStringList &printed = run.lines.printed;
    QCOMPARE(printed.size(), 9);
    QCOMPARE(printed[0], QString("Rideau 1 : 2.0.0.15, 16 univers, fakehid:0 (série A1) : vérifié"));
    QCOMPARE(printed[1], QString("Node fakehid:0 (série A1) déjà configuré dans cette série "
                                 "(rideau 1) : pas réécrit"));
    QCOMPARE(printed[2], QString("Rideau 2 : échec, écriture refusée par le node ; "
                                 "fakehid:1 (série B2) : le numéro reste 2"));
    QCOMPARE(printed[3], QString("Rideau 2 : 2.0.0.16, 16 univers, fakehid:1 (série B2) : vérifié"));
    QVERIFY2(printed[4].startsWith("Rideau 3 : échec, relecture différente (IP : écrit 2.0.0.17, "
                                   "relu 192.168.1.50 ; "),
             qPrintable(printed[4]));
    QVERIFY(printed[4].endsWith("le numéro reste 3"));
    QCOMPARE(printed[5], QString("Rideau 3 : 2.0.0.17, 16 univers, fakehid:2 (sans numéro de "
                                 "série) : vérifié"));
    QCOMPARE(printed[6], QString("Node fakehid:2 (sans numéro de série) déjà configuré dans cette "
                                 "série (rideau 3) : pas réécrit"));
    QCOMPARE(printed[7], QString("Rideau 4 : 2.0.0.18, 8 univers, fakehid:3 (sans numéro de "
                                 "série) : vérifié"));
    QCOMPARE(printed[8], QString("Fin de la série : 4 configuré(s) et vérifié(s), 2 échec(s), "
                                 "2 déjà configuré(s) ; prochain numéro : 5"));
    QVERIFY(run.lines.noted.contains("2 nodes branchés : fakehid:3 (sans numéro de série), "
                                     "fakehid:4 (sans numéro de série) : n'en laissez qu'un"));

    const std::vector<std::pair<fakehid::DeviceId, int>> units = {{a, 1}, {b, 2}, {c, 3}, {d, 4}};
    for (const auto &unit : units) {
        const int capacity = unit.second == 4 ? SmallCapacity : LargeCapacity;
        COMPARE_REPORT(storedConfiguration(unit.first),
                       curtainReport(unit.second, CurtainSize::FourByTwo, capacity));
    }
    QCOMPARE(writesTo(a), 1);
    QCOMPARE(writesTo(b), 1);
    QCOMPARE(writesTo(c), 2);
    QCOMPARE(writesTo(e), 0);

    // Each write has its reservation before it.
    QStringList rows = csvRows(logPath);
    QCOMPARE(rows.size(), 15);
    const QStringList reservations = rows.filter(";réservé;");
    QCOMPARE(reservations.size(), 6);
    for (const QString &reservation : reservations) {
        const int at = int(rows.indexOf(reservation));
        QVERIFY2(rows[at + 1].section(';', 0, 0) == reservation.section(';', 0, 0),
                 qPrintable(rows.join('\n')));
    }
    for (const QString &reservation : reservations)
        rows.removeOne(reservation);
    QCOMPARE(rows[0], QString("numéro;adresse;capacité;série;heure;résultat;unité"));
    QVERIFY2(rows[1].startsWith("1;2.0.0.15;16;A1;2024-05-01T14:00:"), qPrintable(rows[1]));
    QVERIFY(rows[1].endsWith(";vérifié;rideau 4X2"));
    QVERIFY(rows[2].startsWith("1;2.0.0.15;16;A1;"));
    QVERIFY(rows[2].endsWith(";déjà configuré;rideau 4X2"));
    QVERIFY(rows[3].startsWith("2;2.0.0.16;16;B2;"));
    QVERIFY(rows[3].endsWith(";échec : écriture refusée par le node;rideau 4X2"));
    QVERIFY(rows[5].startsWith("3;2.0.0.17;16;;"));
    // The differences are listed with semicolons: the field is quoted.
    QVERIFY2(rows[5].contains(";\"échec : relecture différente (IP : écrit 2.0.0.17, relu"),
             qPrintable(rows[5]));
    QVERIFY(rows[8].startsWith("4;2.0.0.18;8;;"));
}

void TestCliSeries::nodesTellApartByConfiguration_data()
{
    QTest::addColumn<QStringList>("serials");   // one per node; empty: none
    QTest::addColumn<QStringList>("plugIns");   // node index; "*": changed by hand before
    QTest::addColumn<QStringList>("outcomes");  // see expectedLine
    QTest::addColumn<int>("serialNotes");       // "déjà vue" notes

    QTest::newRow("three nodes, one serial")
        << QStringList{"FAKE0001", "FAKE0001", "FAKE0001"} << QStringList{"0", "1", "2"}
        << QStringList{"1", "2", "3"} << 2;
    QTest::newRow("replugged, with a serial")
        << QStringList{"FAKE0001"} << QStringList{"0", "0"} << QStringList{"1", "=1"} << 0;
    QTest::newRow("replugged, without a serial")
        << QStringList{""} << QStringList{"0", "0"} << QStringList{"1", "=1"} << 0;
    QTest::newRow("first of two with one serial replugged")
        << QStringList{"FAKE0001", "FAKE0001"} << QStringList{"0", "1", "0"}
        << QStringList{"1", "2", "=1"} << 1;
    QTest::newRow("changed by hand between two plug-ins")
        << QStringList{"FAKE0001"} << QStringList{"0", "0*"} << QStringList{"1", "2"} << 1;
}

// A node counts as set up in this run only when it holds a configuration the
// run wrote: a shared serial number is no reason to skip it.
void TestCliSeries::nodesTellApartByConfiguration()
{
    QFETCH(QStringList, serials);
    QFETCH(QStringList, plugIns);
    QFETCH(QStringList, outcomes);
    QFETCH(int, serialNotes);

    std::vector<fakehid::DeviceId> nodes;
    for (const QString &serial : serials) {
        nodes.push_back(fakehid::plug(sampleConfiguration(), LargeCapacity,
                                      withSerial(serial.toStdWString().c_str())));
        fakehid::unplug(nodes.back());
    }
    std::vector<Step> steps;
    QStringList expected;
    for (int plugIn = 0; plugIn < plugIns.size(); ++plugIn) {
        const bool changedByHand = plugIns[plugIn].endsWith('*');
        const fakehid::DeviceId node = nodes[std::size_t(plugIns[plugIn].remove('*').toInt())];
        steps.push_back([node, changedByHand] {
            if (changedByHand)
                fakehid::node(node).setConfiguration(sampleConfiguration());
            replug(node);
        });
        steps.push_back([node] { fakehid::unplug(node); });
        expected << expectedLine(outcomes[plugIn], labelOf(node, serials[int(node)]));
    }
    FakeClock clock;
    runScript(clock, steps);

    const CliRun run = runCli({"series", "curtain", "--from", "1"}, clock);
    QCOMPARE(run.status, Exit::Done);
    QStringList printed = run.lines.printed;
    const QString summary = printed.takeLast();
    QCOMPARE(printed, expected);
    const int written = int(std::count_if(outcomes.begin(), outcomes.end(),
                                          [](const QString &outcome) { return !outcome.startsWith('='); }));
    QVERIFY2(summary.endsWith(QString("prochain numéro : %1").arg(written + 1)), qPrintable(summary));
    QCOMPARE(int(run.lines.noted.filter("déjà vue").size()), serialNotes);
    int writes = 0;
    for (const fakehid::DeviceId node : nodes)
        writes += writesTo(node);
    QCOMPARE(writes, written);
}

void TestCliSeries::stopEndsWithSummary_data()
{
    QTest::addColumn<bool>("writeRefused");
    QTest::addColumn<bool>("stopWithPlugIn"); // the stop comes as the node is plugged in
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");

    QTest::newRow("after a verified unit")
        << false << false << Exit::Done
        << "Fin de la série : 1 configuré(s) et vérifié(s), 0 échec(s), 0 déjà configuré(s) ; "
           "prochain numéro : 6";
    QTest::newRow("after a failed unit")
        << true << false << Exit::NodeFailure
        << "Fin de la série : 0 configuré(s) et vérifié(s), 1 échec(s), 0 déjà configuré(s) ; "
           "prochain numéro : 5";
    QTest::newRow("before the node just plugged in")
        << false << true << Exit::Done
        << "Fin de la série : 0 configuré(s) et vérifié(s), 0 échec(s), 0 déjà configuré(s) ; "
           "prochain numéro : 5";
}

// Ctrl+C while the series waits for the node to be pulled: the summary,
// and a status that says whether the last unit failed. Ctrl+C while it
// waits for a node begins no unit, even with a node just plugged in.
void TestCliSeries::stopEndsWithSummary()
{
    QFETCH(bool, writeRefused);
    QFETCH(bool, stopWithPlugIn);
    QFETCH(int, status);
    QFETCH(QString, summary);

    fakehid::DeviceId node = fakehid::NoDevice;
    std::vector<Step> steps = {
        [writeRefused, stopWithPlugIn, &node] {
            node = fakehid::plug(sampleConfiguration());
            fakehid::setConfigurationWritesRefused(node, writeRefused);
            if (stopWithPlugIn)
                requestStop();
        },
    };
    FakeClock clock;
    runScript(clock, steps);
    const CliRun run = runCli({"series", "costume", "--from", "5"}, clock);
    QCOMPARE(run.status, status);
    QCOMPARE(run.lines.printed.last(), summary);
    const QStringList notes = stopWithPlugIn
        ? QStringList{"Branchez le node du costume 5…"}
        : QStringList{"Branchez le node du costume 5…", "Débranchez le node…"};
    QCOMPARE(run.lines.noted, notes);
    QCOMPARE(writesTo(node), stopWithPlugIn || writeRefused ? 0 : 1);
}

void TestCliSeries::logNotASeriesLog_data()
{
    QTest::addColumn<QByteArray>("content"); // "folder": a folder of that name
    QTest::addColumn<QString>("reason");

    QTest::newRow("a folder") << QByteArray("folder") << "est un dossier, pas un journal de série";
    QTest::newRow("another header")
        << QByteArray("\xEF\xBB\xBFnom;adresse\n1;2.0.0.15\n") << "(en-tête « nom;adresse »)";
    QTest::newRow("not CSV: an open quote")
        << QByteArray("numéro;adresse;capacité;série;heure;résultat\n1;\"2.0.0.15\n")
        << "(pas un fichier CSV complet)";
    QTest::newRow("no final line end: the next row would join it")
        << QByteArray("numéro;adresse;capacité;série;heure;résultat\n1;2.0.0.15;16;;;vérifié")
        << "(pas un fichier CSV complet)";
    QTest::newRow("not text") << QByteArray("\x89PNG\r\n\x1a\n\xff\xfe") << "(pas du texte UTF-8)";
    QTest::newRow("a number that is none")
        << QByteArray("numéro;adresse;capacité;série;heure;résultat;unité\n"
                      "1;2.0.0.15;16;;;vérifié;costume\ndeux;2.0.0.16;16;;;vérifié;costume\n")
        << "(ligne 3 : numéro « deux » illisible)";
    QTest::newRow("an unknown unit")
        << QByteArray("numéro;adresse;capacité;série;heure;résultat;unité\n"
                      "1;2.0.0.15;16;;;vérifié;guirlande\n")
        << "(ligne 2 : unité « guirlande » inconnue)";
}

// A log that is not a series log is refused before any node is looked for,
// and left as it was.
void TestCliSeries::logNotASeriesLog()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString logPath = dir.filePath("journal.csv");
    if (content == "folder") {
        QVERIFY(QDir().mkdir(logPath));
    } else {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    const CliRun run = runCli({"series", "costume", "--from", "1", "--log", logPath});
    QCOMPARE(run.status, Exit::BadInput);
    QCOMPARE(run.lines.noted.size(), 1);
    QVERIFY2(run.lines.noted.first().startsWith("nodeconfig-cli: --log : « " + logPath + " » "),
             qPrintable(run.lines.noted.first()));
    QVERIFY2(run.lines.noted.first().endsWith(reason), qPrintable(run.lines.noted.first()));
    QCOMPARE(writesTo(node), 0);
    if (content != "folder") {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
}

namespace {

const QByteArray LogHeader = "\xEF\xBB\xBFnuméro;adresse;capacité;série;heure;résultat;unité\n";
const QByteArray OldLogHeader = "\xEF\xBB\xBFnuméro;adresse;capacité;série;heure;résultat\n";
const QByteArray LoggedOneToThree = "1;2.0.0.15;16;A1;2024-04-30T10:00:00;vérifié;rideau 2X1\n"
                                    "2;2.0.0.16;16;A2;2024-04-30T10:01:00;vérifié;costume\n"
                                    "3;2.0.0.17;16;A3;2024-04-30T10:02:00;vérifié;rideau 2X1\n";

} // namespace

void TestCliSeries::logIsTheMemory_data()
{
    QTest::addColumn<QByteArray>("log");      // empty: no --log
    QTest::addColumn<QStringList>("options"); // after "series curtain"
    QTest::addColumn<int>("costume");         // the plugged node holds this costume; 0: not a unit
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("line");        // printed or noted, from its start
    QTest::addColumn<int>("unit");            // the curtain the node holds after; 0: not written

    QTest::newRow("a log holding 1 to 3 goes on at 4")
        << LogHeader + LoggedOneToThree << QStringList{"--count", "1"} << 0 << Exit::Done
        << "Rideau 4 : 2.0.0.18, 16 univers" << 4;
    QTest::newRow("a log written before the unit column")
        << OldLogHeader + "1;2.0.0.15;16;;2024-04-30T10:00:00;vérifié\n"
                          "2;2.0.0.16;16;;2024-04-30T10:01:00;échec : écriture refusée par le node\n"
        << QStringList{"--count", "1"} << 0 << Exit::Done << "Rideau 2 : 2.0.0.16, 16 univers" << 2;
    QTest::newRow("a first number the log holds is refused")
        << LogHeader + LoggedOneToThree << QStringList{"--from", "2"} << 0 << Exit::BadInput
        << "nodeconfig-cli: --from 2 : le journal « %1 » tient déjà le numéro 2 (2.0.0.16) vérifié, "
           "ligne 3 ; --reuse-number le redonne quand même"
        << 0;
    QTest::newRow("--reuse-number gives it again")
        << LogHeader + LoggedOneToThree << QStringList{"--from", "2", "--reuse-number", "--count", "1"}
        << 0 << Exit::Done << "Rideau 2 : 2.0.0.16, 16 univers" << 2;
    QTest::newRow("a series stops before a number the log holds")
        << LogHeader + LoggedOneToThree.mid(LoggedOneToThree.indexOf("2;")) << QStringList{"--from", "1"}
        << 0 << Exit::Done
        << "Le journal « %1 » tient déjà le rideau 2 (2.0.0.16), vérifié le 30/04/2024 10:01:00, "
           "ligne 2 : la série s'arrête"
        << 1;
    QTest::newRow("a node holding another unit's preset")
        << QByteArray() << QStringList{"--from", "5"} << 7 << Exit::Done
        << "Node fakehid:0 (sans numéro de série) : déjà costume 7 (2.0.0.21) : pas réécrit ; "
           "débranchez-le, ou renumérotez-le à la main : le numéro reste 5"
        << 0;
    QTest::newRow("no --from and nothing logged")
        << QByteArray() << QStringList{} << 0 << Exit::BadInput
        << "nodeconfig-cli: series : --from N est attendu" << 0;
}

// What the log holds decides the series' numbers; a node holding any unit's
// preset is named, not rewritten.
void TestCliSeries::logIsTheMemory()
{
    QFETCH(QByteArray, log);
    QFETCH(QStringList, options);
    QFETCH(int, costume);
    QFETCH(int, status);
    QFETCH(QString, line);
    QFETCH(int, unit);

    QTemporaryDir dir;
    const QString logPath = dir.filePath("série.csv");
    QStringList arguments = QStringList{"series", "curtain"} + options;
    if (!log.isEmpty()) {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        arguments << "--log" << logPath;
    }
    const NodeReport held = costume > 0 ? costumeReport(costume, LargeCapacity) : sampleConfiguration();
    const fakehid::DeviceId node = fakehid::plug(held);
    std::vector<Step> steps = {[node] { fakehid::unplug(node); }};
    FakeClock clock;
    runScript(clock, steps);

    const CliRun run = runCli(arguments, clock);
    QCOMPARE(run.status, status);
    const QString expected = line.contains("%1") ? line.arg(logPath) : line;
    const QStringList lines = run.lines.printed + run.lines.noted;
    QVERIFY2(std::any_of(lines.begin(), lines.end(),
                         [&expected](const QString &said) { return said.startsWith(expected); }),
             qPrintable(lines.join('\n')));
    if (unit == 0) {
        QCOMPARE(writesTo(node), 0);
    } else {
        COMPARE_REPORT(storedConfiguration(node), curtainReport(unit, CurtainSize::TwoByOne, LargeCapacity));
    }
    if (status == Exit::BadInput && !log.isEmpty()) {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), log);
    }
}

namespace {

constexpr int PageSize = 4096;
// Room for one row of unit 6 without a serial number (56 bytes), not two.
constexpr int RoomForOneRow = 80;
const QByteArray LoggedOneToFive = LogHeader + LoggedOneToThree
                                   + "4;2.0.0.18;16;A4;2024-04-30T10:03:00;vérifié;rideau 2X1\n"
                                     "5;2.0.0.19;16;A5;2024-04-30T10:04:00;vérifié;rideau 2X1\n";
const QString FormulaSerial = QStringLiteral("=HYPERLINK(\"http://x\";\"y\")");

// A small tmpfs of the test's own, mounted in a temporary folder (root on
// Linux only), that the test fills to leave a given room in the log's last
// block and one free block, for the log's lock file, or none.
class SmallFileSystem
{
public:
    SmallFileSystem()
    {
        QProcess mount;
        mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder.path()});
        if (!mount.waitForFinished() || mount.exitStatus() != QProcess::NormalExit || mount.exitCode() != 0)
            failure = "no tmpfs can be mounted here (root on Linux only): "
                      + QString::fromLocal8Bit(mount.readAllStandardError()).trimmed() + mount.errorString();
    }
    ~SmallFileSystem()
    {
        if (failure.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {folder.path()});
    }
    QString path(const QString &name) const { return folder.filePath(name); }

    // Writes the log so that its last block has `room` bytes left, then
    // fills the rest but `freeBlocks` blocks.
    bool fill(const QByteArray &log, int room, int freeBlocks)
    {
        QFile file(path("série.csv"));
        // A row of an earlier unit, its serial number as long as it takes.
        const QByteArray start = "0;2.0.0.14;16;";
        const QByteArray end = ";2024-04-30T09:00:00;vérifié;rideau 2X1\n";
        const int serial = 2 * PageSize - room - (log.size() + start.size() + end.size()) % PageSize;
        const QByteArray padded = log + start + QByteArray(serial % PageSize, 'P') + end;
        if (!file.open(QIODevice::WriteOnly) || file.write(padded) != padded.size())
            return false;
        file.close();
        QFile spare(path("spare"));
        spare.open(QIODevice::WriteOnly);
        spare.write(QByteArray(PageSize * freeBlocks, 'S'));
        spare.close();
        QFile filler(path("filler"));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        while (filler.write(QByteArray(PageSize, 'F')) == PageSize) {
        }
        filler.close();
        return spare.remove() && (padded.size() + room) % PageSize == 0;
    }

    QString failure;

private:
    QTemporaryDir folder;
};

// Keeps the lines; a unit said verified must have its row in the log
// already. With stopOnPrint, a line that is said raises the stop flag, as
// standard output does when no one reads it any more.
class LogCheckingLines : public CapturedLines
{
public:
    void print(const QString &line) override
    {
        CapturedLines::print(line);
        if (line.endsWith(": " + SeriesResult::verified())) {
            std::vector<SeriesRow> rows;
            SeriesLog::read(logPath, rows);
            const int unit = line.section(' ', 1, 1).toInt();
            if (heldNumbers(rows).count(unit) == 0 || !heldNumbers(rows).at(unit).verified())
                saidBeforeStored << line;
        }
        if (stopOnPrint)
            requestStop();
    }

    QString logPath;
    bool stopOnPrint = false;
    QStringList saidBeforeStored;
};

// The content of a lock file left by a program that is gone: this
// process's own, with the number of a process that ended.
QByteArray deadProgramLock(const QString &lockPath)
{
    QLockFile own(lockPath);
    own.lock();
    QFile file(lockPath);
    file.open(QIODevice::ReadOnly);
    QByteArray content = file.readAll();
    file.close();
    own.unlock();
    QProcess gone;
    gone.start(QCoreApplication::applicationFilePath(), {"-functions"});
    gone.waitForStarted();
    const qint64 pid = gone.processId();
    gone.waitForFinished();
    return QByteArray::number(pid) + content.mid(content.indexOf('\n'));
}

} // namespace

void TestCliSeries::logFaults_data()
{
    QTest::addColumn<QByteArray>("log");      // before the run; empty: a new log
    QTest::addColumn<QStringList>("options"); // after "series curtain"
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines");   // said, from their start; %1: the log
    QTest::addColumn<QStringList>("rows");    // appended to the log: "number result"
    QTest::addColumn<QStringList>("units");   // "node number": the curtain it holds; 0: none
    QTest::addColumn<int>("next");            // the number after those the log holds; 0: none

    const QStringList once = {"--count", "1"};
    const QStringList untilStopped;
    const QString notReserved = "Rideau 6 : le numéro ne peut pas être réservé dans le journal (";
    QTest::newRow("two runs on one log, opened before either writes: the second takes the next")
        << LoggedOneToFive << once << "second run" << Exit::Done
        << QStringList{"Rideau 6 : 2.0.0.20", "Le journal « %1 » tient désormais le rideau 6 (ligne 8, "
                       "un autre programme) : ce node devient le rideau 7", "Rideau 7 : 2.0.0.21"}
        << QStringList{"6 réservé", "6 vérifié", "7 réservé", "7 vérifié"}
        << QStringList{"B 6", "A 7"} << 8;
    QTest::newRow("the file system full before the reservation: nothing written")
        << LoggedOneToFive << once << "disk full" << Exit::LogFailure
        << QStringList{notReserved + "« %1 » : écriture impossible ("} << QStringList{}
        << QStringList{"A 0"} << 6;
    QTest::newRow("the file system full, the lock cannot be made: nothing looked for")
        << LoggedOneToFive << once << "disk full, no block" << Exit::LogFailure
        << QStringList{"nodeconfig-cli: --log : « %1 » : le verrou « %1.lock » ne peut pas être créé"}
        << QStringList{} << QStringList{"A 0"} << 6;
    QTest::newRow("the file system full between reservation and result: reported, not given again")
        << LoggedOneToFive << once << "disk full after one row" << Exit::LogFailure
        << QStringList{"Rideau 6 : 2.0.0.20, écrit et relu identique sur fakehid:0 (sans numéro de "
                       "série), mais NON JOURNALISÉ (« %1 » : écriture impossible ("}
        << QStringList{"6 réservé"} << QStringList{"A 6"} << 7;
    QTest::newRow("the sync to disk fails: nothing written")
        << LoggedOneToFive << once << "sync fails" << Exit::LogFailure
        << QStringList{notReserved + "« %1 » : écriture impossible (le système ne peut pas l'écrire "
                                     "sur le disque))"}
        << QStringList{} << QStringList{"A 0"} << 6;
    QTest::newRow("the log removed: nothing written")
        << LoggedOneToFive << once << "log removed" << Exit::LogFailure
        << QStringList{notReserved + "« %1 » a disparu)"} << QStringList{} << QStringList{"A 0"} << 0;
    QTest::newRow("a lock another program holds: waited for, then named")
        << LoggedOneToFive << once << "live lock" << Exit::LogFailure
        << QStringList{notReserved + "« %1 » est verrouillé par {app} (processus {pid} sur {host}) "
                                     "depuis plus de 3 s)"}
        << QStringList{} << QStringList{"A 0"} << 6;
    QTest::newRow("a lock left by a program that is gone: taken over")
        << LoggedOneToFive << once << "dead lock" << Exit::Done << QStringList{"Rideau 6 : 2.0.0.20"}
        << QStringList{"6 réservé", "6 vérifié"} << QStringList{"A 6"} << 7;
    QTest::newRow("the output closed mid-unit: the unit stored, then the end")
        << LoggedOneToFive << untilStopped << "output closed" << Exit::Done
        << QStringList{"Rideau 6 : 2.0.0.20", "Fin de la série : 1 configuré(s)"}
        << QStringList{"6 réservé", "6 vérifié"} << QStringList{"A 6", "C 0"} << 7;
    QTest::newRow("a hangup mid-unit: the unit stored, then the end")
        << LoggedOneToFive << untilStopped << "hangup" << Exit::Done
        << QStringList{"Rideau 6 : 2.0.0.20", "Fin de la série : 1 configuré(s)"}
        << QStringList{"6 réservé", "6 vérifié"} << QStringList{"A 6", "C 0"} << 7;
    QTest::newRow("the log saved again by a spreadsheet between two units: read whole, kept as saved")
        << LoggedOneToFive << QStringList{"--count", "2"} << "saved again" << Exit::Done
        << QStringList{"Rideau 6 : 2.0.0.20", "Rideau 7 : 2.0.0.21"}
        << QStringList{"6 réservé", "6 vérifié", "7 réservé", "7 vérifié"}
        << QStringList{"A 6", "C 7"} << 8;
    QTest::newRow("--reuse-number reuses that number alone")
        << LoggedOneToFive << QStringList{"--from", "2", "--reuse-number", "--count", "3"} << ""
        << Exit::Done
        << QStringList{"Rideau 2 : 2.0.0.16", "Le journal « %1 » tient déjà le rideau 3 (2.0.0.17), "
                                              "vérifié le 30/04/2024 10:02:00, ligne 4 : la série s'arrête"}
        << QStringList{"2 réservé", "2 vérifié"} << QStringList{"A 2", "C 0"} << 6;
    QTest::newRow("results retyped in a spreadsheet are read as the series wrote them")
        << LogHeader + "1;2.0.0.15;16;;2024-04-30T10:00:00;Vérifié;Rideau 2x1\n"
                       "2;2.0.0.16;16;;2024-04-30T10:01:00;VERIFIE;COSTUME\n"
                       "3;2.0.0.17;16;;2024-04-30T10:02:00;Echec: x;rideau 2X1\n"
        << once << "" << Exit::Done
        << QStringList{"Le journal tient des unités jusqu'au numéro 2 : la série continue au 3",
                       "Rideau 3 : 2.0.0.17"}
        << QStringList{"3 réservé", "3 vérifié"} << QStringList{"A 3"} << 4;
    QTest::newRow("an unknown result: the log refused before any node is looked for")
        << LogHeader + "1;2.0.0.15;16;;2024-04-30T10:00:00;vérifié;rideau 2X1\n"
                       "2;2.0.0.16;16;;2024-04-30T10:01:00;ok;rideau 2X1\n"
        << untilStopped << "node first" << Exit::BadInput
        << QStringList{"nodeconfig-cli: --log : « %1 » n'est pas un journal de série (ligne 3 : "
                       "résultat « ok » inconnu)"}
        << QStringList{} << QStringList{"A 0"} << 0;
    QTest::newRow("a formula-like serial number stays text and reads back equal")
        << QByteArray() << QStringList{"--from", "1", "--count", "1"} << "formula serial" << Exit::Done
        << QStringList{"Rideau 1 : 2.0.0.15"} << QStringList{"1 réservé", "1 vérifié"}
        << QStringList{"A 1"} << 2;
    QTest::newRow("a reservation without a result is not given again")
        << LoggedOneToFive + "6;2.0.0.20;16;;2024-04-30T10:05:00;réservé;rideau 2X1\n"
        << once << "" << Exit::Done
        << QStringList{"Le journal « %1 » tient le numéro 6 (2.0.0.20) réservé le 30/04/2024 10:05:00 "
                       "sans résultat, ligne 7", "Rideau 7 : 2.0.0.21"}
        << QStringList{"7 réservé", "7 vérifié"} << QStringList{"A 7"} << 8;
    QTest::newRow("a first read unanswered does not end another program's reservation")
        << LoggedOneToFive + "6;2.0.0.20;16;;2024-04-30T10:05:00;réservé;rideau 2X1\n"
                             "6;2.0.0.20;;;2024-04-30T10:05:01;échec : le node ne répond pas;rideau 2X1\n"
        << once << "" << Exit::Done << QStringList{"Rideau 7 : 2.0.0.21"}
        << QStringList{"7 réservé", "7 vérifié"} << QStringList{"A 7"} << 8;
}

// Whatever happens to the log, a node is written only once its number is
// reserved in the file, a unit is said verified only once its row is there,
// and a number is never given twice: the runs use real files.
void TestCliSeries::logFaults()
{
    QFETCH(QByteArray, log);
    QFETCH(QStringList, options);
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, units);
    QFETCH(int, next);

    QTemporaryDir dir;
    std::unique_ptr<SmallFileSystem> small;
    QString logPath = dir.filePath("série.csv");
    if (fault.startsWith("disk full")) {
        small = std::make_unique<SmallFileSystem>();
        if (!small->failure.isEmpty())
            QSKIP(qPrintable(small->failure));
        logPath = small->path("série.csv");
        const int room = fault.endsWith("after one row") ? RoomForOneRow : 0;
        if (!small->fill(log, room, fault.endsWith("no block") ? 0 : 1))
            QSKIP("the small tmpfs could not be filled as planned: not 4 KiB blocks here");
    } else if (!log.isEmpty()) {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
    }
    std::vector<SeriesRow> before;
    const bool readable = SeriesLog::read(logPath, before).isEmpty();
    const QString lockPath = logPath + ".lock";
    if (fault == "dead lock") {
        const QByteArray lock = deadProgramLock(lockPath);
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lock);
    }
    if (fault == "sync fails")
        SeriesLog::setSync([](int) { return false; });

    QMap<QString, fakehid::DeviceId> nodes;
    const std::wstring serial = fault == "formula serial" ? FormulaSerial.toStdWString() : L"";
    const auto plug = [&nodes, &serial](const QString &name) {
        nodes[name] = fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(serial.c_str()));
    };
    if (fault == "node first")
        plug("A");
    QLockFile otherProgram(lockPath);
    CliRun second;
    FakeClock secondClock;
    std::vector<Step> secondSteps = {[&] { plug("B"); }, [&] { fakehid::unplug(nodes["B"]); }};
    runScript(secondClock, secondSteps);
    std::vector<Step> steps = {
        [&] {
            if (fault == "second run") {
                second = runCli({"series", "curtain", "--count", "1", "--log", logPath}, secondClock);
                fakehid::unplug(nodes["B"]);
            }
            if (fault == "log removed")
                QFile::remove(logPath);
            if (fault == "live lock")
                otherProgram.lock();
            plug("A");
        },
        [&] { fakehid::unplug(nodes["A"]); },
        [&] {
            // Without the byte-order mark, with commas and CRLF line ends.
            if (fault == "saved again") {
                QFile file(logPath);
                file.open(QIODevice::ReadOnly);
                const QByteArray saved = file.readAll().mid(3).replace(';', ',').replace("\n", "\r\n");
                file.close();
                file.open(QIODevice::WriteOnly | QIODevice::Truncate);
                file.write(saved);
            }
            plug("C");
        },
        [&] { fakehid::unplug(nodes["C"]); },
    };
    FakeClock clock;
    runScript(clock, steps);
    if (fault == "hangup") {
        setHidPause([](int milliseconds) {
            if (milliseconds == SeriesRun::StorePauseMs)
                requestStop();
        });
    }
    LogCheckingLines said;
    said.logPath = logPath;
    said.stopOnPrint = fault == "output closed";
    const int ran = CliApp(clock, said).run(QStringList{"series", "curtain"} + options
                                            + QStringList{"--log", logPath});
    if (fault == "disk full after one row")
        QFile::remove(small->path("filler"));

    QCOMPARE(ran, status);
    if (fault == "second run")
        QCOMPARE(second.status, Exit::Done);
    QCOMPARE(said.saidBeforeStored, QStringList());
    const QStringList saidLines = said.printed + said.noted + second.lines.printed;
    // The holder as the lock file names it: Windows' host name may differ in case
    // from QSysInfo's.
    qint64 holderPid = QCoreApplication::applicationPid();
    QString holderHost = QSysInfo::machineHostName();
    QString holderApp = QCoreApplication::applicationName();
    if (otherProgram.isLocked())
        otherProgram.getLockInfo(&holderPid, &holderHost, &holderApp);
    for (QString line : lines) {
        line.replace("%1", logPath)
            .replace("{app}", holderApp)
            .replace("{pid}", QString::number(holderPid))
            .replace("{host}", holderHost);
        QVERIFY2(std::any_of(saidLines.begin(), saidLines.end(),
                             [&line](const QString &one) { return one.startsWith(line); }),
                 qPrintable(line + "\nnot in:\n" + saidLines.join('\n')));
    }
    if (readable && QFileInfo::exists(logPath))
        QCOMPARE(logRowsAfter(logPath, before.size()), rows);
    for (const QString &unit : units) {
        const fakehid::DeviceId node = nodes.value(unit.section(' ', 0, 0), fakehid::NoDevice);
        const int number = unit.section(' ', 1).toInt();
        if (number == 0) {
            QCOMPARE(node == fakehid::NoDevice ? 0 : writesTo(node), 0);
            continue;
        }
        COMPARE_REPORT(storedConfiguration(node),
                       curtainReport(number, CurtainSize::TwoByOne, LargeCapacity));
    }
    if (next > 0) {
        std::vector<SeriesRow> after;
        QCOMPARE(SeriesLog::read(logPath, after), QString());
        QCOMPARE(numberAfter(heldNumbers(after)).value_or(0), next);
    }
    if (fault == "saved again") {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith(",vérifié,rideau 2X1\n"));
    }
    if (fault == "formula serial") {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\""));
        std::vector<SeriesRow> after;
        SeriesLog::read(logPath, after);
        QCOMPARE(after.back().serial, FormulaSerial);
    }
    QVERIFY(!QFileInfo::exists(lockPath) || fault == "live lock");
}

QTEST_GUILESS_MAIN(TestCliSeries)
#include "tst_cliseries.moc"

// nodeconfig-cli series: units set up one after another by plug-in alone,
// with nodes plugged, pulled and replugged by a scripted bench.

#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "protocol/presets.h"

#include <QDir>
#include <QFile>
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
    void cleanup() { clearStopRequest(); }
    void seriesOnABench();
    void nodesTellApartByConfiguration_data();
    void nodesTellApartByConfiguration();
    void stopEndsWithSummary_data();
    void stopEndsWithSummary();
    void logNotASeriesLog_data();
    void logNotASeriesLog();
    void logIsTheMemory_data();
    void logIsTheMemory();
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

    const QStringList rows = csvRows(logPath);
    QCOMPARE(rows.size(), 9);
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

QTEST_GUILESS_MAIN(TestCliSeries)
#include "tst_cliseries.moc"

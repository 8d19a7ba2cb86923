// nodeconfig-cli series: units set up one after another by plug-in alone,
// with nodes plugged, pulled and replugged by a scripted bench.

#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "protocol/presets.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

QStringList csvRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestCliSeries : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCliState(); }
    void cleanup() { clearStopRequest(); }
    void seriesOnABench();
    void stopEndsWithSummary_data();
    void stopEndsWithSummary();
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
    QCOMPARE(rows[0], QString("numéro,adresse,capacité,série,heure,résultat"));
    QVERIFY2(rows[1].startsWith("1,2.0.0.15,16,A1,2024-05-01T14:00:"), qPrintable(rows[1]));
    QVERIFY(rows[1].endsWith(",vérifié"));
    QVERIFY(rows[2].startsWith("1,2.0.0.15,16,A1,"));
    QVERIFY(rows[2].endsWith(",déjà configuré"));
    QVERIFY(rows[3].startsWith("2,2.0.0.16,16,B2,"));
    QVERIFY(rows[3].endsWith(",échec : écriture refusée par le node"));
    QVERIFY(rows[5].startsWith("3,2.0.0.17,16,,"));
    QVERIFY2(rows[5].contains(",\"échec : relecture différente (IP : écrit 2.0.0.17, relu"),
             qPrintable(rows[5]));
    QVERIFY(rows[8].startsWith("4,2.0.0.18,8,,"));
}

void TestCliSeries::stopEndsWithSummary_data()
{
    QTest::addColumn<bool>("writeRefused");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("summary");

    QTest::newRow("after a verified unit")
        << false << Exit::Done
        << "Fin de la série : 1 configuré(s) et vérifié(s), 0 échec(s), 0 déjà configuré(s) ; "
           "prochain numéro : 6";
    QTest::newRow("after a failed unit")
        << true << Exit::NodeFailure
        << "Fin de la série : 0 configuré(s) et vérifié(s), 1 échec(s), 0 déjà configuré(s) ; "
           "prochain numéro : 5";
}

// Ctrl+C while the series waits for the node to be pulled: the summary,
// and a status that says whether the last unit failed.
void TestCliSeries::stopEndsWithSummary()
{
    QFETCH(bool, writeRefused);
    QFETCH(int, status);
    QFETCH(QString, summary);

    std::vector<Step> steps = {
        [writeRefused] {
            const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
            fakehid::setConfigurationWritesRefused(node, writeRefused);
        },
    };
    FakeClock clock;
    runScript(clock, steps);
    const CliRun run = runCli({"series", "costume", "--from", "5"}, clock);
    QCOMPARE(run.status, status);
    QCOMPARE(run.lines.printed.last(), summary);
    QCOMPARE(run.lines.noted, (QStringList{"Branchez le node du costume 5…", "Débranchez le node…"}));
}

QTEST_GUILESS_MAIN(TestCliSeries)
#include "tst_cliseries.moc"

// A seeded soak of the real window against simulated nodes: thousands of
// search ticks, refreshes, typed texts and clicks, with nodes plugged and
// unplugged at any moment (also between the two enumerations of one tick),
// nodes that refuse to open, and every fault the simulated library can
// inject at each step of each exchange. After every step the library calls,
// the shared state and the window are compared with an independent model.
// A closing phase then brings about each fault and outcome the drawn steps
// missed, checked alike, so that no seed falls short of the coverage.
// It runs a fixed seed and one chosen at run time; "--seed N" replays one,
// "--steps N" changes the length of each run.

#include "app/sharedstate.h"
#include "app/startup.h"
#include "sim/fakehid.h"
#include "soak/soakrun.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "usb/hidtransport.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <cstdio>

#include <optional>
#include <random>
#include <vector>

namespace {

constexpr quint64 FixedSeed = 20240611;
constexpr int DefaultSteps = 4000;
// The real timers at the end: a read cycle and a few presence checks.
constexpr int SettleTimeoutMs = 10000;
constexpr int PollingTicks = 3;

struct SoakOptions {
    std::optional<quint64> seed;
    int steps = DefaultSteps;
};

quint64 seedFromClock()
{
    std::random_device device;
    return (static_cast<quint64>(device()) << 32)
        ^ static_cast<quint64>(QDateTime::currentMSecsSinceEpoch());
}

QStringList fieldTexts(MainWindow &window)
{
    QStringList texts;
    for (const QString &name : configEditNames)
        texts << window.findChild<QLineEdit *>(name)->text();
    texts << window.findChild<QLabel *>("maxUnivers")->text();
    return texts;
}

QStringList shownTexts(const Oracle::Screenful &shown)
{
    QStringList texts;
    for (const QString &text : shown.edits)
        texts << text;
    texts << shown.capacity;
    return texts;
}

QString statusLine(MainWindow &window)
{
    return window.findChild<QLabel *>("display")->text();
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

public:
    explicit SoakTest(const SoakOptions &options) : options(options) {}

private slots:
    void initTestCase();
    void cleanupTestCase();
    void soak_data();
    void soak();

private:
    void pollWithRealTimers(SoakRun &run);

    SoakOptions options;
};

void SoakTest::initTestCase()
{
    // Thousands of writes cannot each wait half a second.
    setHidPause([](int) {});
}

void SoakTest::cleanupTestCase()
{
    setHidPause({});
}

void SoakTest::soak_data()
{
    QTest::addColumn<quint64>("seed");
    const std::vector<quint64> seeds =
        options.seed ? std::vector<quint64>{*options.seed}
                     : std::vector<quint64>{FixedSeed, seedFromClock()};
    for (const quint64 seed : seeds)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void SoakTest::soak()
{
    QFETCH(quint64, seed);
    qInfo("soak seed: %llu (replay with --seed %llu)", seed, seed);
    resetSharedState();
    QElapsedTimer clock;
    clock.start();
    SoakRun run(seed);
    for (int step = 0; step < options.steps; ++step) {
        const QString failure = run.step();
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QStringLiteral("seed %1, %2").arg(seed).arg(failure)));
    }
    const QString closing = run.meetMissedEvents();
    QVERIFY2(closing.isEmpty(), qPrintable(QStringLiteral("seed %1, %2").arg(seed).arg(closing)));
    const QString gaps = run.coverageGaps();
    QVERIFY2(gaps.isEmpty(), qPrintable(QStringLiteral("seed %1: %2").arg(seed).arg(gaps)));
    qInfo("soak seed %llu: %s in %lld ms", seed, qPrintable(run.summary()),
          static_cast<long long>(clock.elapsed()));
    pollWithRealTimers(run);
}

// After the soak the window still polls on its timers: it notices that
// every node has gone, shows a fresh one when it comes, and goes on looking.
void SoakTest::pollWithRealTimers(SoakRun &run)
{
    MainWindow &window = run.window();
    const QString waiting = QStringLiteral("En attente de node");
    run.unplugNodes();
    startSearch();
    QTRY_COMPARE_WITH_TIMEOUT(statusLine(window), waiting, SettleTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!nodeConnected, SettleTimeoutMs);

    const Oracle::Screenful expected = run.plugFreshNode();
    QTRY_COMPARE_WITH_TIMEOUT(fieldTexts(window), shownTexts(expected), SettleTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(statusLine(window), QString::fromUtf8("Connecté au node"),
                              SettleTimeoutMs);
    const int enumerations = fakehid::enumerationCount();
    QTRY_VERIFY_WITH_TIMEOUT(fakehid::enumerationCount() >= enumerations + PollingTicks,
                             SettleTimeoutMs);

    run.unplugNodes();
    QTRY_COMPARE_WITH_TIMEOUT(statusLine(window), waiting, SettleTimeoutMs);
    // The search timer is process-wide and outlives this window.
    searchTimer->stop();
    // The read's hex dump ends without a line break; the test log goes on below it.
    std::fputs("\n", stdout);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SoakOptions options;
    std::vector<char *> rest = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument = argv[i];
        if ((argument == "--seed" || argument == "--steps") && i + 1 < argc) {
            const QByteArray value = argv[++i];
            if (argument == "--seed")
                options.seed = value.toULongLong();
            else
                options.steps = value.toInt();
        } else {
            rest.push_back(argv[i]);
        }
    }
    SoakTest test(options);
    return QTest::qExec(&test, static_cast<int>(rest.size()), rest.data());
}

#include "tst_soak.moc"

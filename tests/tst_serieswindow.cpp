// The series window, opened from the real main window's menu, over
// simulated nodes plugged and pulled as a technician does: the rules of
// nodeconfig-cli series, one row per attempt, the log as the series'
// memory, one numbering with the main form, every note kept, and a stop
// that waits for the unit being written.

#include "app/messages.h"
#include "app/sharedstate.h"
#include "app/startup.h"
#include "clitestsupport.h"
#include "config/configtext.h"
#include "link/nodefinder.h"
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
#include <QMessageBox>
#include <QPlainTextEdit>
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
const QByteArray OldHeader = "numéro;adresse;capacité;série;heure;résultat\n";
const QByteArray Header = "numéro;adresse;capacité;série;heure;résultat;unité\n";
const QByteArray RowsOneToThree = "1;2.0.0.15;16;A1;2024-05-01T14:00:00;vérifié;rideau 4X2\n"
                                  "2;2.0.0.16;16;A2;2024-05-01T14:01:00;vérifié;rideau 4X2\n"
                                  "3;2.0.0.17;16;A3;2024-05-01T14:02:00;vérifié;rideau 4X2\n";

// The log's rows but the reservations, which each write has before it.
int logRows(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray content = file.readAll();
    if (!content.startsWith(Utf8ByteOrderMark))
        return -1;
    return content.count('\n') - content.count(";réservé;");
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
    QString notes() const;
    QString formAddress() const;

    std::unique_ptr<MainWindow> window;
    SeriesWindow *series = nullptr;
    QMap<QString, fakehid::DeviceId> nodes;
    QMap<QString, QString> afterWrite; // node -> what happens after its write
};

void TestSeriesWindow::init()
{
    clearTestSettings();
    resetCliState();
    setHidPacing(WindowPacing);
    nodes.clear();
    afterWrite.clear();
    // Nothing sleeps; after a configuration write, the script may act: a
    // node vanishes at once, a user acts as soon as the window gets events.
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
                QTimer::singleShot(0, series->findChild<QPushButton *>("bStop"), &QPushButton::click);
            else if (action == "close")
                QTimer::singleShot(0, series, &QWidget::close);
            else if (action == "quit")
                QTimer::singleShot(0, window->findChild<QAction *>("actionQuit"), &QAction::trigger);
            return;
        }
    });
}

void TestSeriesWindow::cleanup()
{
    series = nullptr;
    window.reset();
    searchTimer->stop();
    setHidPause({});
}

QString TestSeriesWindow::notes() const
{
    return series->findChild<QPlainTextEdit *>("notes")->toPlainText();
}

QString TestSeriesWindow::formAddress() const
{
    QStringList octets;
    for (const char *name : {"ipa1", "ipa2", "ipa3", "ipa4"})
        octets << window->findChild<QLineEdit *>(name)->text();
    return octets.join('.');
}

void TestSeriesWindow::step(const QString &line)
{
    const QStringList words = line.split(' ');
    const QString name = words.last();
    const QString rest = line.section(' ', 1);
    if (line.startsWith("plug ") && line.contains(" as costume ")) // "plug C as costume 7"
        nodes[words[1]] = fakehid::plug(costumeReport(name.toInt(), LargeCapacity), LargeCapacity);
    else if (line.startsWith("plug ") && line.endsWith(" refused")) {
        nodes[words[1]] = fakehid::plug(sampleConfiguration());
        fakehid::setOpenRefused(nodes[words[1]], true);
    } else if (line.startsWith("plug "))
        nodes[name] = fakehid::plug(sampleConfiguration(), LargeCapacity,
                                    withSerial(L"0001")); // every node: one serial number
    else if (line.startsWith("unplug "))
        fakehid::unplug(nodes.value(name));
    else if (line.startsWith("replug "))
        fakehid::setPresenceSchedule(nodes.value(name), {true});
    else if (line.startsWith("rows "))
        QTRY_COMPARE(series->findChild<QTableWidget *>("attempts")->rowCount(), name.toInt());
    else if (line == "wait for a node")
        QTRY_VERIFY(notes().section('\n', -1).startsWith("Branchez"));
    else if (line.startsWith("after write to "))
        afterWrite[words[3].chopped(1)] = name;
    else if (line == "stop" || line == "start")
        series->findChild<QPushButton *>(line == "stop" ? "bStop" : "bStart")->click();
    else if (line.startsWith("first number "))
        QTRY_COMPARE(series->findChild<QLineEdit *>("firstNumber")->text(), name);
    else if (line.startsWith("form "))   // the main form's next curtain
        QTRY_COMPARE(window->findChild<QLineEdit *>("numRideau")->text(), name);
    else if (line.startsWith("next "))   // the series' next number
        QTRY_VERIFY(series->findChild<QLabel *>("counts")->text().endsWith("prochain numéro : " + name));
    else if (line == "no node")          // the main window's search lost the node
        QTRY_VERIFY(!nodeConnected && waitingForNode);
    else if (line.startsWith("reads "))  // the main form shows the node: events ran
        QTRY_COMPARE(formAddress(), addressText(fakehid::node(nodes.value(name)).configuration()));
    else if (line.startsWith("note "))   // a note, still there
        QTRY_VERIFY2(notes().contains(rest), qPrintable(notes()));
    else if (line == "no library")       // hidapi no longer starts
        fakehid::setStartFailing(true);
    else if (line == "refused hint")
        QTRY_VERIFY2(notes().contains(message(AccessRefusedFix)), qPrintable(notes()));
    else if (line.startsWith("answer ")) {
        QMessageBox *question = nullptr;
        QTRY_VERIFY((question = series->findChild<QMessageBox *>("reuseQuestion")) != nullptr);
        QVERIFY2(question->text().contains("numéro 2 (rideau 4X2, 2.0.0.16), vérifié le 01/05/2024 à "
                                           "14:01:00 (ligne 3)"),
                 qPrintable(question->text()));
        const QString wanted = name == "yes" ? "Redonner le numéro 2" : "Annuler";
        for (QAbstractButton *const button : question->buttons()) {
            if (button->text() == wanted)
                button->click();
        }
    } else
        QFAIL(qPrintable("unknown step " + line));
}

void TestSeriesWindow::unitsByPlugIn_data()
{
    QTest::addColumn<QByteArray>("log");    // the log before the series; empty: none
    QTest::addColumn<QString>("first");     // "Premier numéro" once the log is chosen
    QTest::addColumn<QString>("from");      // typed into it before Démarrer; empty: kept
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("rows");  // "number result" for each attempt
    QTest::addColumn<bool>("running");      // at the end of the script
    QTest::addColumn<QStringList>("units"); // "node number": the curtain it holds

    const QByteArray none;
    QTest::newRow("three nodes, one serial number")
        << none << "1" << "" << QStringList{"plug A", "rows 1", "form 2", "unplug A", "plug B",
                                            "rows 2", "unplug B", "plug C", "rows 3", "form 4"}
        << QStringList{"1 vérifié", "2 vérifié", "3 vérifié"} << true
        << QStringList{"A 1", "B 2", "C 3"};
    QTest::newRow("the same node replugged")
        << none << "1" << "" << QStringList{"plug A", "rows 1", "unplug A", "wait for a node", "replug A", "rows 2"}
        << QStringList{"1 vérifié", "1 déjà configuré"} << true << QStringList{"A 1"};
    QTest::newRow("unplugged before its read-back")
        << none << "1" << "" << QStringList{"after write to A: vanish", "plug A", "rows 1", "replug A", "rows 2"}
        << QStringList{"1 échec : le node ne répond pas à la relecture", "1 vérifié"} << true
        << QStringList{"A 1"};
    // B is plugged in once the series ended: the main form reads it, so
    // events ran while B was there, and the series did not write it.
    QTest::newRow("Arrêter during a write")
        << none << "1" << "" << QStringList{"after write to A: stop", "plug A", "rows 1", "unplug A", "no node", "plug B",
                       "reads B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
    QTest::newRow("series window closed during a write")
        << none << "1" << "" << QStringList{"after write to A: close", "plug A", "rows 1", "unplug A", "no node", "plug B",
                       "reads B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
    QTest::newRow("quit during a write")
        << none << "1" << "" << QStringList{"after write to A: quit", "plug A", "rows 1", "unplug A", "no node", "plug B",
                       "reads B"}
        << QStringList{"1 vérifié"} << false << QStringList{"A 1", "B 0"};
    QTest::newRow("Démarrer after Arrêter goes on with the next number")
        << none << "1" << ""
        << QStringList{"plug A", "rows 1", "stop", "first number 2", "form 2", "start", "rows 2",
                       "unplug A", "plug B", "rows 3", "form 3"}
        << QStringList{"1 vérifié", "1 déjà rideau 1 (2.0.0.15) : pas réécrit", "2 vérifié"} << true
        << QStringList{"A 1", "B 2"};
    QTest::newRow("a log holding 1 to 3 goes on at 4")
        << Header + RowsOneToThree << "4" << "" << QStringList{"plug A", "rows 1", "form 5"}
        << QStringList{"4 vérifié"} << true << QStringList{"A 4"};
    QTest::newRow("a log written before the unit column is read")
        << OldHeader + "1;2.0.0.15;16;;2024-05-01T14:00:00;vérifié\n2;2.0.0.16;16;;2024-05-01T14:01:00;échec : x\n"
        << "2" << "" << QStringList{"plug A", "rows 1"} << QStringList{"2 vérifié"} << true
        << QStringList{"A 2"};
    QTest::newRow("a first number the log holds is asked about")
        << Header + RowsOneToThree << "4" << "2" << QStringList{"plug A", "answer no", "reads A"}
        << QStringList{} << false << QStringList{"A 0"};
    QTest::newRow("a first number the log holds, given again")
        << Header + RowsOneToThree << "4" << "2" << QStringList{"answer yes", "plug A", "rows 1"}
        << QStringList{"2 vérifié"} << true << QStringList{"A 2"};
    QTest::newRow("a node holding another unit is left as it is")
        << none << "1" << "" << QStringList{"plug C as costume 7", "rows 1", "next 1"}
        << QStringList{"7 déjà costume 7 (2.0.0.21) : pas réécrit"} << true << QStringList{"C 0"};
    QTest::newRow("the reason a series stopped stays")
        << none << "1" << "241"
        << QStringList{"plug A", "rows 1", "unplug A", "note Impossible d'ajouter plus de rideau",
                       "note Fin de la série"}
        << QStringList{"241 vérifié"} << false << QStringList{"A 241"};
    QTest::newRow("a node refused: the window's hint")
        << none << "1" << "" << QStringList{"plug R refused", "refused hint", "plug A", "rows 1"}
        << QStringList{"1 vérifié"} << true << QStringList{"A 1"};
    QTest::newRow("hidapi does not start: said, and the series ends")
        << none << "1" << "" << QStringList{"no library", "note " + libraryFailureText()}
        << QStringList{} << false << QStringList{};
}

void TestSeriesWindow::unitsByPlugIn()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, first);
    QFETCH(QString, from);
    QFETCH(QStringList, script);
    QFETCH(QStringList, rows);
    QFETCH(bool, running);
    QFETCH(QStringList, units);

    window = std::make_unique<MainWindow>();
    window->show();
    startSearch();
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
    if (!log.isEmpty()) {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Utf8ByteOrderMark + log);
    }
    const int linesBefore = log.isEmpty() ? 1 : log.count('\n');
    series->findChild<QLineEdit *>("logPath")->setText(logPath);
    QCOMPARE(series->findChild<QLineEdit *>("firstNumber")->text(), first);
    if (!from.isEmpty())
        series->findChild<QLineEdit *>("firstNumber")->setText(from);
    series->findChild<QPushButton *>("bStart")->click();
    QVERIFY(!series->isRunning() || writingDisabled(*window));

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
    QCOMPARE(logRows(logPath) - linesBefore, rows.size());
    if (!rows.isEmpty()) {
        const QString last = rows.last();
        const QString result = series->findChild<QLabel *>("result")->text();
        const QString word = last.contains("échec") ? QString("ÉCHEC") : last.section(' ', 1);
        QCOMPARE(result, last.contains("déjà costume")
                             ? "Node " + word
                             : "Rideau " + last.section(' ', 0, 0) + " : " + word);
    }

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
    QTRY_VERIFY(!series->isRunning());
    QVERIFY(writingEnabled(*window));
}

QTEST_MAIN(TestSeriesWindow)
#include "tst_serieswindow.moc"

// The series window, opened from the real main window's menu, over
// simulated nodes plugged and pulled as a technician does: the rules of
// nodeconfig-cli series, one row per attempt, the log as the series'
// memory, one numbering with the main form, every note kept, and a stop
// that waits for the unit being written.

#include "app/messages.h"
#include "app/platform.h"
#include "app/sharedstate.h"
#include "app/startup.h"
#include "clitestsupport.h"
#include "config/configtext.h"
#include "link/nodefinder.h"
#include "protocol/presets.h"
#include "ui/mainwindow.h"
#include "series/serieslog.h"
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
#include <QStatusBar>
#include <QPushButton>
#include <QScopeGuard>
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
    void logKeptAcrossStarts_data();
    void logKeptAcrossStarts();
    void addWithLog_data();
    void addWithLog();

private:
    // The program started: its window shown, its search on, the series
    // window opened from the menu.
    void startProgram();
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
    QString logPath; // what "choose log" chooses
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
    else if (line == "choose log")
        series->findChild<QLineEdit *>("logPath")->setText(logPath);
    else if (line.startsWith("kind is "))  // the kind the series window shows
        QTRY_COMPARE(series->findChild<QComboBox *>("kind")->currentText(), line.section(' ', 2));
    else if (line.startsWith("choose kind "))
        series->findChild<QComboBox *>("kind")->setCurrentText(line.section(' ', 2));
    else if (line == "restart") {      // the program closed and started again
        window->close();
        window.reset();
        startProgram();
    } else if (line.startsWith("costume form "))
        QTRY_COMPARE(window->findChild<QLineEdit *>("numCostume")->text(), name);
    else if (line == "add curtain" || line == "add costume") {
        // Greyed until a stopped series has finished its unit.
        auto *const add = window->findChild<QPushButton *>(line == "add curtain" ? "bAddRideau" : "bAddCostume");
        QTRY_VERIFY(add->isEnabled());
        add->click();
    }
    else if (line.startsWith("log "))    // "log 3 vérifié": the log's last row
        QTRY_COMPARE(logRowsAfter(logPath, 0).value(logRowsAfter(logPath, 0).size() - 1), rest);
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

void TestSeriesWindow::startProgram()
{
    window = std::make_unique<MainWindow>();
    window->show();
    startSearch();
    window->findChild<QAction *>("actionSeries")->trigger();
    series = window->findChild<SeriesWindow *>();
    QVERIFY(series);
}

void TestSeriesWindow::logKeptAcrossStarts_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("logged"); // the log's rows, "number result"
    QTest::addColumn<QStringList>("units");  // "node unit": "A 1" a curtain 4X2, "A c1" a costume

    QTest::newRow("curtains: Démarrer goes on after the log, Ajouter too")
        << QStringList{"choose kind Rideau 4X2", "choose log", "start", "plug A", "rows 1", "stop",
                       "unplug A", "restart", "kind is Rideau 4X2", "first number 2", "form 2",
                       "costume form 2", "start", "plug B", "rows 1", "stop", "unplug B", "form 3",
                       "plug C", "reads C", "add curtain", "log 3 vérifié", "form 4"}
        << QStringList{"1 réservé", "1 vérifié", "2 réservé", "2 vérifié", "3 réservé", "3 vérifié"}
        << QStringList{"A 1", "B 2", "C 3"};
    QTest::newRow("costumes: the kind kept as well")
        << QStringList{"choose kind Costume", "choose log", "start", "plug A", "rows 1", "stop",
                       "unplug A", "restart", "kind is Costume", "first number 2", "costume form 2",
                       "plug C", "reads C", "add costume", "log 2 vérifié", "costume form 3",
                       "unplug C", "start", "plug B", "rows 1", "costume form 4"}
        << QStringList{"1 réservé", "1 vérifié", "2 réservé", "2 vérifié", "3 réservé", "3 vérifié"}
        << QStringList{"A c1", "C c2", "B c3"};
}

// The series window keeps its log and kind when the program is closed:
// started again, both the series and the form's "Ajouter" go on after the
// numbers the log holds, and "Ajouter" logs its unit as the series does.
void TestSeriesWindow::logKeptAcrossStarts()
{
    QFETCH(QStringList, script);
    QFETCH(QStringList, logged);
    QFETCH(QStringList, units);

    QTemporaryDir dir;
    logPath = dir.filePath("journal.csv");
    startProgram();
    for (const QString &line : script) {
        step(line);
        if (QTest::currentTestFailed())
            return;
    }
    QCOMPARE(logRowsAfter(logPath, 0), logged);
    for (const QString &unit : units) {
        const QString number = unit.section(' ', 1);
        const bool costume = number.startsWith('c');
        const int value = QString(number).remove('c').toInt();
        NodeReport held = fakehid::node(nodes.value(unit.section(' ', 0, 0))).configuration();
        held[Report::Command] = cmdWriteConfig;
        COMPARE_REPORT(held, costume ? costumeReport(value, LargeCapacity)
                                     : curtainReport(value, CurtainSize::FourByTwo, LargeCapacity));
    }
}

void TestSeriesWindow::addWithLog_data()
{
    QTest::addColumn<QByteArray>("log");     // "none": no log chosen
    QTest::addColumn<QString>("number");     // typed into "Ajouter rideau n°"
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("status");     // the status line after the click
    QTest::addColumn<QString>("details");    // the status bar, from its start; %1: the log
    QTest::addColumn<QStringList>("logged"); // rows appended to the log
    QTest::addColumn<int>("unit");           // the curtain the node holds after; 0: not written
    QTest::addColumn<QString>("field");      // "Ajouter rideau n°" after

    const QByteArray logged = Utf8ByteOrderMark + Header + RowsOneToThree;
    const QString sending = message(Status::SendingNewValues);
    QTest::newRow("no log chosen: as it always was")
        << QByteArray("none") << "2" << "" << sending << "" << QStringList{} << 2 << "3";
    QTest::newRow("a free number: reserved, written, then its result")
        << logged << "4" << "" << sending << "Rideau 4 : vérifié, inscrit au journal « %1 »"
        << QStringList{"4 réservé", "4 vérifié"} << 4 << "5";
    QTest::newRow("a number the log holds: refused with the series' message")
        << logged << "3" << "" << "Numéro déjà au journal"
        << "Le journal « %1 » tient déjà le rideau 3 (2.0.0.17), vérifié le 01/05/2024 14:02:00, "
           "ligne 4 : rien n'est écrit"
        << QStringList{} << 0 << "3";
    QTest::newRow("a reservation without a result: refused")
        << logged + "4;2.0.0.18;16;;2024-05-01T14:03:00;réservé;rideau 2X1\n" << "4" << ""
        << "Numéro déjà au journal" << "Le journal « %1 » tient déjà le rideau 4 (2.0.0.18), réservé le "
        << QStringList{} << 0 << "4";
    QTest::newRow("a file that is not a series log: refused")
        << QByteArray("nom;adresse\n") << "4" << "" << "Journal inutilisable"
        << "« %1 » n'est pas un journal de série" << QStringList{} << 0 << "4";
    QTest::newRow("the write refused: a failure row follows the reservation")
        << logged << "4" << "write refused" << sending << "Rideau 4 : échec : écriture refusée"
        << QStringList{"4 réservé", "4 échec"} << 0 << "4";
    QTest::newRow("the node gone before its read-back: a failure row")
        << logged << "4" << "vanish" << sending << "Rideau 4 : échec : le node ne répond pas à la relecture"
        << QStringList{"4 réservé", "4 échec"} << 4 << "5";
    QTest::newRow("the write refused and its row not stored: the log named, not the node")
        << logged << "4" << "write refused, result lost" << "Journal inutilisable"
        << "Rideau 4 : échec : écriture refusée par le node, mais pas enregistré dans le journal"
        << QStringList{"4 réservé"} << 0 << "4";
}

// "Ajouter" with a series log chosen goes through the log as a series' unit
// does; without one it writes as it always did.
void TestSeriesWindow::addWithLog()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, number);
    QFETCH(QString, fault);
    QFETCH(QString, status);
    QFETCH(QString, details);
    QFETCH(QStringList, logged);
    QFETCH(int, unit);
    QFETCH(QString, field);

    QTemporaryDir dir;
    logPath = dir.filePath("journal.csv");
    startProgram();
    step("plug A");
    step("reads A");
    if (log != "none") {
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        file.close();
        step("choose log");
    }
    series->close();
    std::vector<SeriesRow> before;
    SeriesLog::read(logPath, before);
    fakehid::setConfigurationWritesRefused(nodes["A"], fault.startsWith("write refused"));
    // The reservation reaches the disk; nothing after it does.
    int syncs = 0;
    if (fault == "write refused, result lost")
        SeriesLog::setSync([&syncs](int descriptor) { return syncs++ == 0 && syncToDisk(descriptor); });
    const auto syncRestored = qScopeGuard([] { SeriesLog::setSync({}); });
    if (fault == "vanish")
        step("after write to A: vanish");
    auto *const numberField = window->findChild<QLineEdit *>("numRideau");
    numberField->setText(number);
    window->findChild<QPushButton *>("bAddRideau")->click();
    QCOMPARE(statusText, status);
    if (!details.isEmpty())
        QTRY_VERIFY2(window->statusBar()->currentMessage().startsWith(QString(details).replace("%1", logPath)),
                     qPrintable(window->statusBar()->currentMessage()));
    if (log == "none")
        QVERIFY(!QFileInfo::exists(logPath));
    if (!logged.isEmpty())
        QTRY_COMPARE(logRowsAfter(logPath, before.size()), logged);
    QFile file(logPath);
    if (logged.isEmpty() && file.open(QIODevice::ReadOnly))
        QCOMPARE(file.readAll(), log);
    if (unit == 0) {
        QCOMPARE(writesTo(nodes["A"]), 0);
    } else {
        NodeReport held = fakehid::node(nodes["A"]).configuration();
        held[Report::Command] = cmdWriteConfig;
        COMPARE_REPORT(held, curtainReport(unit, CurtainSize::TwoByOne, LargeCapacity));
    }
    QCOMPARE(numberField->text(), field);
}

QTEST_MAIN(TestSeriesWindow)
#include "tst_serieswindow.moc"

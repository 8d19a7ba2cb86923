// The window's configuration files, driven as a user drives them: Ctrl+S
// and Ctrl+O wherever the focus is, the file dialog answered, a file
// dropped or named on the command line; compared with nodeconfig-cli's
// save and load over the same simulated nodes.

#include "app/sharedstate.h"
#include "badconfigfiles.h"
#include "config/configtext.h"
#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "protocol/presets.h"
#include "ui/filechooser.h"
#include "ui/mainwindow.h"
#include "usb/hidpacing.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(NodeReport)

namespace {

const QString CliErrorPrefix = "nodeconfig-cli: ";
constexpr qint64 HugeFileSize = 1024 * 1024 + 1;

// Every text the form shows, the chip and the capacity with them.
QStringList formState(const MainWindow &window)
{
    QStringList state;
    for (const QString &name : configEditNames)
        state << window.findChild<QLineEdit *>(name)->text();
    state << window.findChild<QComboBox *>("output")->currentText()
          << window.findChild<QLabel *>("maxUnivers")->text();
    return state;
}

void clearForm(MainWindow &window)
{
    for (const QString &name : configEditNames)
        window.findChild<QLineEdit *>(name)->clear();
}

void press(MainWindow &window, const QString &focus, QKeySequence::StandardKey key)
{
    QWidget *const target = window.findChild<QWidget *>(focus);
    target->setFocus();
    QTest::keySequence(target, QKeySequence(key));
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

// What the status history's newest line and the status bar say.
QString statusLine(const MainWindow &window)
{
    return window.findChild<QLabel *>("display")->text();
}

QString statusBarText(const MainWindow &window)
{
    return window.findChild<QStatusBar *>("statusBar")->currentMessage();
}

void dropOn(MainWindow &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint centre = window.rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return;
    QDropEvent drop(centre, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

NodeReport withChip(NodeReport report, int chip)
{
    report[Report::OutputType] = static_cast<std::uint8_t>(chip);
    return report;
}

} // namespace

class TestWindowFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void saveMatchesCliAndOpensBack_data();
    void saveMatchesCliAndOpensBack();
    void badFileLeavesForm_data();
    void badFileLeavesForm();
    void checksRefuseSave_data();
    void checksRefuseSave();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void droppedOrNamedFile_data();
    void droppedOrNamedFile();
    void saveWritesWhatWasChecked();
    void openedFileClonesOntoNextNode_data();
    void openedFileClonesOntoNextNode();

private:
    // Answers the file dialog with `answer` and keeps what it was asked.
    void answerDialog(const QString &path);
    // Shows the window over a plugged node, once it has read it into the
    // form; false when the window could not be made active.
    bool windowReads(const NodeReport &configuration);

    std::unique_ptr<MainWindow> window;
    fakehid::DeviceId device = fakehid::NoDevice;

    QString answer;
    QList<FileQuestion> asked;
    std::function<void()> whileAsked; // what happens while the dialog is open
};

void TestWindowFiles::initTestCase()
{
    // The last folder is kept in a test's own settings.
    QStandardPaths::setTestModeEnabled(true);
}

void TestWindowFiles::init()
{
    resetCliState();
    setHidPacing(WindowPacing);
    clearTestSettings();
    asked.clear();
    answer.clear();
    whileAsked = nullptr;
    setFileChooser([this](QWidget *, const FileQuestion &question) {
        asked << question;
        if (whileAsked)
            whileAsked();
        return answer;
    });
}

void TestWindowFiles::cleanup()
{
    window.reset();
    setFileChooser({});
    setHidPacing(WindowPacing);
}

bool TestWindowFiles::windowReads(const NodeReport &configuration)
{
    device = fakehid::plug(configuration, LargeCapacity, withSerial(L"REF"));
    window = std::make_unique<MainWindow>();
    window->show();
    QMetaObject::invokeMethod(window.get(), "searchDevice");
    processRefresh(*window);
    return QTest::qWaitForWindowActive(window.get());
}

void TestWindowFiles::answerDialog(const QString &path)
{
    answer = path;
}

void TestWindowFiles::saveMatchesCliAndOpensBack_data()
{
    QTest::addColumn<NodeReport>("configuration");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("fileName"); // what the file is saved as

    QTest::newRow("sample, focus in an edit") << sampleConfiguration() << "ipa1"
        << "sauvegardes é/node ü 1.json" << "sauvegardes é/node ü 1.json";
    NodeReport curtain = curtainReport(3, CurtainSize::ThreeByTwo, LargeCapacity);
    curtain[Report::Reserved + 1] = 0x5A;
    QTest::newRow("curtain preset, focus on a button") << curtain << "bSend"
        << "Rideaux à l'étage/rideau 3.json" << "Rideaux à l'étage/rideau 3.json";
    QTest::newRow("clocks hidden, focus in a list")
        << withChip(sampleConfiguration(), Chip::TS3001) << "cbRideau" << "sans horloge"
        << "sans horloge.json";
    QTest::newRow("address typed without the ending")
        << sampleConfiguration() << "ipb2" << "node-10.0.0.2" << "node-10.0.0.2.json";
    QTest::newRow("ending in capitals") << sampleConfiguration() << "offset" << "NODE.JSON"
                                        << "NODE.JSON";
}

// The window's file is the CLI's, byte for byte; the CLI loads it onto
// another node; the window opens it back into the same form, sending nothing.
void TestWindowFiles::saveMatchesCliAndOpensBack()
{
    QFETCH(NodeReport, configuration);
    QFETCH(QString, focus);
    QFETCH(QString, typedName);
    QFETCH(QString, fileName);

    QVERIFY(windowReads(configuration));
    const QStringList shown = formState(*window);

    QTemporaryDir dir;
    const QString windowFile = dir.filePath(fileName);
    QDir().mkpath(QFileInfo(windowFile).absolutePath());
    answerDialog(dir.filePath(typedName));
    press(*window, focus, QKeySequence::Save);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].purpose, FileQuestion::Purpose::Save);
    QCOMPARE(asked[0].proposedPath,
             QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                 .filePath("node-" + fieldText(namedFields().front(), configuration) + ".json"));
    processRefresh(*window);
    QCOMPARE(statusLine(*window), message(Status::ConfigurationSaved));
    QVERIFY(testSettingsHold(QFileInfo(windowFile).absolutePath()));

    const QString cliFile = dir.filePath("cli.json");
    QCOMPARE(runCli({"save", cliFile}).status, Exit::Done);
    QCOMPARE(contentOf(windowFile), contentOf(cliFile));

    const fakehid::DeviceId other = fakehid::plug(factoryReport(LargeCapacity), LargeCapacity,
                                                  withSerial(L"OTHER"));
    QCOMPARE(runCli({"load", windowFile, "--device", "OTHER"}).status, Exit::Done);
    NodeReport expected = fakehid::node(device).configuration();
    QVERIFY(std::equal(expected.begin() + Report::ConfigFirst, expected.end(),
                       fakehid::node(other).configuration().begin() + Report::ConfigFirst));
    setHidPacing(WindowPacing);

    clearForm(*window);
    answerDialog(windowFile);
    press(*window, focus, QKeySequence::Open);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[1].proposedPath, QFileInfo(windowFile).absolutePath());
    QCOMPARE(formState(*window), shown);
    QVERIFY2(statusBarText(*window).contains(QFileInfo(windowFile).fileName()),
             qPrintable(statusBarText(*window)));
    QCOMPARE(writesTo(device), 0);
}

void TestWindowFiles::badFileLeavesForm_data()
{
    QTest::addColumn<QString>("place"); // "file", "missing" or "folder"
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    for (const BadConfigurationFile &file : badConfigurationFiles())
        QTest::newRow(file.name) << "file" << file.json << file.expected;
    QTest::newRow("empty") << "file" << QByteArray() << "JSON mal formé";
    QTest::newRow("huge") << "file" << QByteArray(HugeFileSize, ' ') << "trop grand";
    QTest::newRow("missing") << "missing" << QByteArray() << "fichier introuvable";
    QTest::newRow("folder") << "folder" << QByteArray() << "lecture impossible";
}

// Each bad file gets, through "Ouvrir", the message nodeconfig-cli load
// gives it; the form and the report buffer stay as they were.
void TestWindowFiles::badFileLeavesForm()
{
    QFETCH(QString, place);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    QVERIFY(windowReads(sampleConfiguration()));
    const QStringList shown = formState(*window);
    const NodeReport buffer = reportBuffer;

    QTemporaryDir dir;
    QString path = dir.filePath("mauvais é.json");
    if (place == "file")
        writeFile(path, content);
    else if (place == "folder")
        QDir().mkpath(path);
    answerDialog(path);
    press(*window, "spi2p8", QKeySequence::Open);

    QCOMPARE(formState(*window), shown);
    COMPARE_REPORT(reportBuffer, buffer);
    processRefresh(*window);
    QCOMPARE(statusLine(*window), message(Status::FileRefused));
    QVERIFY2(statusBarText(*window).contains(expected), qPrintable(statusBarText(*window)));
    const CliRun load = runCli({"load", QDir::toNativeSeparators(path)});
    QCOMPARE(load.status, Exit::BadInput);
    QCOMPARE(CliErrorPrefix + statusBarText(*window), load.lines.noted.join('\n'));
    QCOMPARE(writesTo(device), 0);
}

void TestWindowFiles::checksRefuseSave_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty octet") << "ipb3" << "" << message(Status::FillAllFields);
    QTest::newRow("host octet 14") << "ipa4" << "14" << message(Status::HostOctetTooLow);
    QTest::newRow("clock 13") << "spi1freq" << "13" << message(Status::Spi1FreqTooHigh);
    QTest::newRow("clock 0,04") << "spi2freq" << "0,04" << message(Status::Spi2FreqTooLow);
}

// "Enregistrer" checks the form as "Envoyer" does: a failure shows the
// same message, and no dialog opens and no file is written.
void TestWindowFiles::checksRefuseSave()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QVERIFY(windowReads(sampleConfiguration()));
    window->findChild<QLineEdit *>(field)->setText(text);

    QTemporaryDir dir;
    answerDialog(dir.filePath("refusé.json"));
    press(*window, field, QKeySequence::Save);
    QVERIFY(asked.isEmpty());
    processRefresh(*window);
    QCOMPARE(statusLine(*window), expected);
    QVERIFY(QDir(dir.path()).isEmpty());
}

void TestWindowFiles::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("obstacle");

    QTest::newRow("read-only folder") << "read-only folder";
    QTest::newRow("folder under a file") << "folder under a file";
    QTest::newRow("a folder in the file's place") << "folder in place";
}

// A save that cannot be written leaves what was there, says why, and
// names the file.
void TestWindowFiles::failedSaveKeepsOldFile()
{
    QFETCH(QString, obstacle);

    QVERIFY(windowReads(sampleConfiguration()));

    QTemporaryDir dir;
    const QByteArray old = "ancien contenu";
    QString path;
    QString kept;
    if (obstacle == "read-only folder") {
        const QString folder = dir.filePath("protégé");
        path = kept = writeFile(folder + "/node.json", old);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (QFile(folder + "/probe").open(QIODevice::WriteOnly))
            QSKIP("this user writes into read-only folders");
    } else if (obstacle == "folder under a file") {
        kept = writeFile(dir.filePath("un fichier"), old);
        path = kept + "/node.json";
    } else {
        path = dir.filePath("dossier.json");
        QDir().mkpath(path);
    }
    answerDialog(path);
    press(*window, "offset", QKeySequence::Save);

    processRefresh(*window);
    QCOMPARE(statusLine(*window), message(Status::SaveFailed));
    QVERIFY2(statusBarText(*window).startsWith(quoted(QDir::toNativeSeparators(path))
                                               + " : écriture impossible"),
             qPrintable(statusBarText(*window)));
    if (!kept.isEmpty())
        QCOMPARE(contentOf(kept), old);
    QFile::setPermissions(QFileInfo(path).absolutePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestWindowFiles::droppedOrNamedFile_data()
{
    QTest::addColumn<QString>("how"); // "drop", "drop two" or "argument"
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("status"); // empty: the form is left alone, nothing said

    const QString opened = message(Status::ConfigurationOpened);
    const QString refused = message(Status::FileRefused);
    QTest::newRow("dropped .json") << "drop" << "costume 7.json" << true << opened;
    QTest::newRow("dropped .JSON") << "drop" << "COSTUME.JSON" << true << opened;
    QTest::newRow("dropped bad .json") << "drop" << "mauvais.json" << false << refused;
    QTest::newRow("dropped .txt") << "drop" << "costume.txt" << true << QString();
    QTest::newRow("two dropped") << "drop two" << "costume.json" << true << QString();
    QTest::newRow("named") << "argument" << "nœud é.json" << true << opened;
    QTest::newRow("named, bad") << "argument" << "mauvais.json" << false << refused;
}

// A .json file dropped on the window, or named on the command line, is
// opened as "Ouvrir" opens it; other drops are not taken.
void TestWindowFiles::droppedOrNamedFile()
{
    QFETCH(QString, how);
    QFETCH(QString, fileName);
    QFETCH(bool, valid);
    QFETCH(QString, status);

    QVERIFY(windowReads(sampleConfiguration()));
    const QStringList shown = formState(*window);

    QTemporaryDir dir;
    const NodeReport costume = costumeReport(7, LargeCapacity);
    const QString path = writeFile(dir.filePath(fileName),
                                   valid ? ConfigFile::toJson(costume) : QByteArray("{"));
    if (how == "argument")
        window->openArgumentFile({"nodeconfig", path});
    else if (how == "drop two")
        dropOn(*window, {QUrl::fromLocalFile(path), QUrl::fromLocalFile(path)});
    else
        dropOn(*window, {QUrl::fromLocalFile(path)});

    processRefresh(*window);
    const bool opened = status == message(Status::ConfigurationOpened);
    QCOMPARE(statusLine(*window), status.isEmpty() ? message(Status::ConnectedToNode) : status);
    QCOMPARE(window->findChild<QLineEdit *>("ipa4")->text(), opened ? "21" : shown[3]);
    QCOMPARE(window->findChild<QComboBox *>("output")->currentIndex(),
             opened ? int(costume[Report::OutputType]) : int(Chip::LPD6803));
    QCOMPARE(writesTo(device), 0);
}

// The refresh and the search go on while the dialog is open: a node read
// meanwhile, with values the checks refuse, does not reach the file, which
// holds the form as it was checked.
void TestWindowFiles::saveWritesWhatWasChecked()
{
    QVERIFY(windowReads(sampleConfiguration()));
    const NodeReport checked = fakehid::node(device).configuration();
    NodeReport refused = sampleConfiguration();
    refused[Report::IpAddress + 3] = 14;
    whileAsked = [this, refused] {
        fakehid::unplug(device);
        fakehid::plug(refused);
        waitingForNode = true;
        QMetaObject::invokeMethod(window.get(), "searchDevice");
        processRefresh(*window);
    };

    QTemporaryDir dir;
    const QString path = dir.filePath("vérifié.json");
    answerDialog(path);
    press(*window, "ipa1", QKeySequence::Save);
    QCOMPARE(window->findChild<QLineEdit *>("ipa4")->text(), QString("14"));

    const ConfigFile::Parsed saved = ConfigFile::read(path);
    QVERIFY2(saved.form, qPrintable(saved.failure));
    NodeReport savedReport = saved.form->report();
    savedReport[Report::Command] = checked[Report::Command];
    COMPARE_REPORT(savedReport, checked);
}

void TestWindowFiles::openedFileClonesOntoNextNode_data()
{
    QTest::addColumn<bool>("writeRefused");
    QTest::addColumn<bool>("readBackFails");
    QTest::addColumn<bool>("fileKept");

    QTest::newRow("sent and read back") << false << false << false;
    QTest::newRow("send refused") << true << false << true;
    QTest::newRow("sent, read-back failed") << false << true << true;
}

// Cloning: the reference is opened first, then the next node is plugged
// in; its read leaves the opened form, and "Envoyer" writes it, reserved
// bytes included, as nodeconfig-cli load would. The form shows nodes again
// only once the node took the file and was read back: after a failed send
// or read-back, it keeps the file over a node that holds other values.
void TestWindowFiles::openedFileClonesOntoNextNode()
{
    QFETCH(bool, writeRefused);
    QFETCH(bool, readBackFails);
    QFETCH(bool, fileKept);

    QTemporaryDir dir;
    const NodeReport reference = curtainReport(5, CurtainSize::FourByTwo, LargeCapacity);
    const QString path = writeFile(dir.filePath("référence.json"), ConfigFile::toJson(reference));
    const QString referenceHost = "19";
    const QString otherHost = "50";

    window = std::make_unique<MainWindow>();
    window->openArgumentFile({"nodeconfig", path});
    const fakehid::DeviceId next = fakehid::plug(sampleConfiguration());
    QMetaObject::invokeMethod(window.get(), "searchDevice");
    processRefresh(*window);
    QCOMPARE(window->findChild<QLineEdit *>("ipa4")->text(), referenceHost);
    QCOMPARE(window->findChild<QLabel *>("maxUnivers")->text(), QString("16"));
    QVERIFY2(statusBarText(*window).contains("référence.json"), qPrintable(statusBarText(*window)));

    fakehid::setConfigurationWritesRefused(next, writeRefused);
    QTest::mouseClick(window->findChild<QPushButton *>("bSend"), Qt::LeftButton);
    if (!writeRefused) {
        NodeReport expected = reference;
        expected[Report::Command] = cmdWriteConfig;
        expected[Report::MaxUniverses] = LargeCapacity;
        COMPARE_REPORT(fakehid::node(next).receivedReports().back(), expected);
    }
    if (readBackFails)
        fakehid::failNextRead(fakehid::Fault::Error);
    QMetaObject::invokeMethod(window.get(), "searchDevice");
    processRefresh(*window);
    QCOMPARE(window->findChild<QLineEdit *>("ipa4")->text(), referenceHost);

    // Another node, with other values, is read.
    fakehid::unplug(next);
    const fakehid::DeviceId other = fakehid::plug(sampleConfiguration());
    waitingForNode = true;
    QMetaObject::invokeMethod(window.get(), "searchDevice");
    processRefresh(*window);
    QCOMPARE(window->findChild<QLineEdit *>("ipa4")->text(), fileKept ? referenceHost : otherHost);
    QCOMPARE(writesTo(other), 0);
}

QTEST_MAIN(TestWindowFiles)
#include "tst_windowfiles.moc"

// nodeconfig-cli's commands over simulated nodes: what each prints, what
// reaches the node, and the exit status a script sees.

#include "app/messages.h"
#include "config/configfile.h"
#include "cli/exitstatus.h"
#include "clitestsupport.h"
#include "protocol/presets.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(NodeReport)

namespace {

// What a node that answered holds, as a configuration written to it would be.
NodeReport stored(fakehid::DeviceId device)
{
    NodeReport report = fakehid::node(device).configuration();
    report[Report::Command] = cmdWriteConfig;
    return report;
}

NodeReport asWritten(NodeReport report, int capacity)
{
    report[Report::Command] = cmdWriteConfig;
    report[Report::MaxUniverses] = static_cast<std::uint8_t>(capacity);
    return report;
}

NodeReport zeroClocks()
{
    NodeReport report = sampleConfiguration();
    report[Report::Spi1Freq] = 0;
    return report;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return path;
}

// Paths as hidapi gives them on Windows.
const char *const WindowsPath =
    R"(\\?\HID#VID_1FC9&PID_0050#7&2A3B4C5D&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";
const char *const OtherWindowsPath =
    R"(\\?\HID#VID_1FC9&PID_0050#7&99&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})";

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCliState(); }
    void help();
    void usageErrors_data();
    void usageErrors();
    void listShowsEveryNode();
    void noUsableNode_data();
    void noUsableNode();
    void waitsForANode_data();
    void waitsForANode();
    void showWithCaptions();
    void showJsonIsTheSavedFile();
    void saveThenLoadOntoAnotherNode_data();
    void saveThenLoadOntoAnotherNode();
    void badFileWritesNothing_data();
    void badFileWritesNothing();
    void setChangesOnlyItsFields();
    void refusedSetWritesNothing_data();
    void refusedSetWritesNothing();
    void presets_data();
    void presets();
    void badUnitNumber_data();
    void badUnitNumber();
    void twoNodesNeedDevice_data();
    void twoNodesNeedDevice();
    void deviceChoosesTheNode();
    void sharedSerialIsAmbiguous();
    void windowsDevicePath_data();
    void windowsDevicePath();
    void failedWriteOrVerification_data();
    void failedWriteOrVerification();
    void readRetriedOnce_data();
    void readRetriedOnce();
    void pausesOnlyToStore_data();
    void pausesOnlyToStore();
};

void TestCli::help()
{
    const CliRun run = runCli({"--help"});
    QCOMPARE(run.status, Exit::Done);
    const QString help = run.lines.printed.join('\n');
    for (const char *word : {"list", "show", "save FICHIER", "load FICHIER", "set CHAMP=VALEUR",
                             "factory-reset", "curtain N", "costume N", "series curtain|costume",
                             "--device", "--wait", "Codes de sortie", "3  aucun node",
                             "4  series : le journal"})
        QVERIFY2(help.contains(QString::fromUtf8(word)), word);
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no command") << QStringList{} << "Usage";
    QTest::newRow("unknown command") << QStringList{"clone"} << "commande inconnue « clone »";
    QTest::newRow("unknown option") << QStringList{"show", "--fast"} << "option inconnue « --fast »";
    QTest::newRow("option of another command") << QStringList{"save", "a.json", "--json"}
                                               << "--json ne s'applique pas à save";
    QTest::newRow("missing file") << QStringList{"save"} << "save : argument manquant";
    QTest::newRow("extra argument") << QStringList{"show", "now"} << "argument en trop « now »";
    QTest::newRow("missing value") << QStringList{"show", "--wait"} << "--wait attend une valeur";
    QTest::newRow("wait not a number") << QStringList{"show", "--wait=soon"} << "--wait : « soon »";
    QTest::newRow("series kind") << QStringList{"series", "lamp", "--from", "1"} << "« lamp »";
    QTest::newRow("series without from") << QStringList{"series", "curtain"} << "--from N";
    QTest::newRow("count past 241") << QStringList{"series", "costume", "--from", "240", "--count", "3"}
                                    << "dépassent le numéro 241";
    QTest::newRow("count zero") << QStringList{"series", "costume", "--from", "1", "--count", "0"}
                                << "n'est pas un nombre d'unités";
    QTest::newRow("log not writable")
        << QStringList{"series", "curtain", "--from", "1", "--log", "/nonexistent/dir/s.csv"}
        << "--log : « /nonexistent/dir/s.csv » : écriture impossible";
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::BadInput);
    QVERIFY2(run.lines.noted.join('\n').contains(expected), qPrintable(run.lines.all()));
    QVERIFY(fakehid::node(device).receivedReports().empty());
}

void TestCli::listShowsEveryNode()
{
    fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"AB12"));
    fakehid::plug(factoryReport(SmallCapacity), SmallCapacity);

    const CliRun run = runCli({"list"});
    QCOMPARE(run.status, Exit::Done);
    QCOMPARE(run.lines.printed,
             (QStringList{"fakehid:0 (série AB12) : IP 192.168.1.50, 16 univers",
                          "fakehid:1 (sans numéro de série) : IP 2.0.0.15, 8 univers"}));
}

void TestCli::noUsableNode_data()
{
    QTest::addColumn<QString>("trouble"); // "none", "refused" or "no library"
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("waited"); // the whole --wait

    const QString none = message(Status::NoNodeConnected);
    const QString refusedText = message(Status::AccessRefused) + " : fakehid:0";
    const QString noLibrary = message(Status::UsbUnavailable) + " : " + message(HidLibraryFailure);
    QTest::newRow("list, none") << "none" << QStringList{"list"} << Exit::NoNode << none << true;
    QTest::newRow("show, none") << "none" << QStringList{"show"} << Exit::NoNode << none << true;
    QTest::newRow("list, refused")
        << "refused" << QStringList{"list"} << Exit::NodeFailure << refusedText << true;
    QTest::newRow("load, refused") << "refused" << QStringList{"curtain", "1"}
                                   << Exit::NodeFailure << message(AccessRefusedCommandFix) << true;
    QTest::newRow("list, no library")
        << "no library" << QStringList{"list"} << Exit::NodeFailure << noLibrary << false;
    QTest::newRow("show, no library")
        << "no library" << QStringList{"show"} << Exit::NodeFailure << noLibrary << false;
    QTest::newRow("series, no library") << "no library" << QStringList{"series", "costume", "--from", "1"}
                                        << Exit::NodeFailure << noLibrary << false;
}

void TestCli::noUsableNode()
{
    QFETCH(QString, trouble);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, expected);
    QFETCH(bool, waited);

    if (trouble != "none") {
        const fakehid::DeviceId plugged = fakehid::plug(sampleConfiguration());
        fakehid::setOpenRefused(plugged, trouble == "refused");
        fakehid::setStartFailing(trouble == "no library");
    }
    FakeClock clock;
    const CliRun run = runCli(arguments, clock);
    QCOMPARE(run.status, status);
    QVERIFY2(run.lines.noted.join('\n').contains(expected), qPrintable(run.lines.all()));
    QCOMPARE(clock.now, waited ? qint64(CliApp::DefaultWaitSeconds) * 1000 : 0);
    QCOMPARE(fakehid::writeCount(), 0);
}

void TestCli::waitsForANode_data()
{
    QTest::addColumn<int>("plugAfterSleeps");
    QTest::addColumn<QString>("wait");
    QTest::addColumn<int>("status");

    QTest::newRow("plugged within the wait") << 5 << "1" << Exit::Done;
    QTest::newRow("plugged too late") << 30 << "2" << Exit::NoNode;
    QTest::newRow("no wait at all") << 1 << "0" << Exit::NoNode;
}

void TestCli::waitsForANode()
{
    QFETCH(int, plugAfterSleeps);
    QFETCH(QString, wait);
    QFETCH(int, status);

    FakeClock clock;
    clock.onSleep = [&clock, plugAfterSleeps] {
        if (clock.sleeps == plugAfterSleeps)
            fakehid::plug(sampleConfiguration());
    };
    const CliRun run = runCli({"show", "--wait", wait}, clock);
    QCOMPARE(run.status, status);
    QVERIFY(clock.now <= wait.toInt() * 1000);
    if (status == Exit::Done)
        QCOMPARE(run.lines.noted, QStringList{message(Status::WaitingForNode) + "…"});
}

void TestCli::showWithCaptions()
{
    fakehid::plug(sampleConfiguration());
    const CliRun run = runCli({"show"});
    QCOMPARE(run.status, Exit::Done);
    QCOMPARE(run.lines.printed, (QStringList{
                                    "IP             : 192.168.1.50",
                                    "IP Mask        : 255.255.255.0",
                                    "IP Broadcast   : 192.168.1.255",
                                    "Offset Univers : 3",
                                    "Output         : LPD6803",
                                    "SPI1 Freq MHz  : 0,8",
                                    "SPI1 Patch     : 1 2 3 4 5 6 7 8",
                                    "SPI2 Freq MHz  : 0,8",
                                    "SPI2 Patch     : 9 10 11 12 13 14 15 16",
                                    "Max Univers    : 16",
                                }));
}

void TestCli::showJsonIsTheSavedFile()
{
    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration());
    const CliRun run = runCli({"show", "--json"});
    QCOMPARE(run.status, Exit::Done);
    const QByteArray json = run.lines.printed.join('\n').toUtf8();
    QCOMPARE(QJsonDocument::fromJson(json),
             QJsonDocument::fromJson(ConfigFile::toJson(fakehid::node(device).configuration())));
}

void TestCli::saveThenLoadOntoAnotherNode_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain name") << QString() << "reference.json";
    // In the system's own notation: backslashes on Windows.
    QTest::newRow("accents and spaces") << QStringLiteral("Réglages d'été") << QStringLiteral("nœud n°1.json");
}

// A clone: every byte but the capacity, reserved ones included, onto a
// node that held something else.
void TestCli::saveThenLoadOntoAnotherNode()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);

    const fakehid::DeviceId source =
        fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"SRC"));
    const fakehid::DeviceId target =
        fakehid::plug(factoryReport(SmallCapacity), SmallCapacity, withSerial(L"DST"));
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(folder.isEmpty() ? QStringLiteral(".") : folder));
    const QString path = QDir::toNativeSeparators(QDir(dir.filePath(folder)).filePath(name));

    const CliRun save = runCli({"save", path, "--device", "SRC"});
    QCOMPARE(save.status, Exit::Done);
    QVERIFY(QFile::exists(path));
    const CliRun load = runCli({"load", path, "--device", "DST"});
    QCOMPARE(load.status, Exit::Done);

    QCOMPARE(writesTo(source), 0);
    QCOMPARE(writesTo(target), 1);
    // The request, the write, the read-back.
    COMPARE_REPORT(fakehid::node(target).receivedReports()[1],
                   asWritten(sampleConfiguration(), SmallCapacity));
    COMPARE_REPORT(stored(target), asWritten(sampleConfiguration(), SmallCapacity));
    QVERIFY2(load.lines.noted.join('\n').contains("vient d'un node de 16 univers, celui-ci en a 8"),
             qPrintable(load.lines.all()));
    QVERIFY2(load.lines.printed.join('\n').contains("écrit et vérifié sur fakehid:1 (série DST)"),
             qPrintable(load.lines.all()));
}

void TestCli::badFileWritesNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no such file") << "" << QByteArray() << "fichier introuvable";
    QTest::newRow("malformed") << "bad.json" << QByteArray("{\"formatVersion\": 1,") << "JSON mal formé";
    QTest::newRow("empty") << "empty.json" << QByteArray() << "JSON mal formé";
    QJsonObject object = QJsonDocument::fromJson(ConfigFile::toJson(sampleConfiguration())).object();
    object["spi1ClockMHz"] = 13;
    QTest::newRow("clock too high") << "high.json" << QJsonDocument(object).toJson()
                                    << message(Status::Spi1FreqTooHigh);
    // A device without end and without a size, where the system has one.
    const QString endless = QStringLiteral("/dev/zero");
    if (QFile::exists(endless))
        QTest::newRow("endless device") << endless << QByteArray() << "trop grand";
}

void TestCli::badFileWritesNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);

    fakehid::plug(sampleConfiguration());
    QTemporaryDir dir;
    const QString path = name.isEmpty()            ? dir.filePath("missing.json")
                         : QFileInfo(name).isAbsolute() ? name
                                                        : writeFile(dir, name, content);
    const CliRun run = runCli({"load", path});
    QCOMPARE(run.status, Exit::BadInput);
    QCOMPARE(run.lines.noted.size(), 1);
    QVERIFY2(run.lines.noted.first().startsWith("nodeconfig-cli: « " + path + " » : "),
             qPrintable(run.lines.all()));
    QVERIFY2(run.lines.noted.first().contains(expected), qPrintable(run.lines.all()));
    QCOMPARE(fakehid::writeCount(), 0);
}

void TestCli::setChangesOnlyItsFields()
{
    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration());
    const CliRun run = runCli({"set", "ip=2.0.0.20", "spi1freq=0,4", "output=UCS1912/WS2812"});
    QCOMPARE(run.status, Exit::Done);
    NodeReport expected = asWritten(sampleConfiguration(), LargeCapacity);
    expected[Report::IpAddress] = 2;
    expected[Report::IpAddress + 1] = 0;
    expected[Report::IpAddress + 2] = 0;
    expected[Report::IpAddress + 3] = 20;
    expected[Report::Spi1Freq] = 8;
    expected[Report::OutputType] = Chip::UCS1912_WS2812;
    COMPARE_REPORT(stored(device), expected);
    QCOMPARE(writesTo(device), 1);
}

void TestCli::refusedSetWritesNothing_data()
{
    QTest::addColumn<NodeReport>("current");
    QTest::addColumn<QString>("assignment");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("enumerations");

    QTest::newRow("value the edit refuses") << sampleConfiguration() << "ipa1=300" << "« 300 »" << 0;
    QTest::newRow("window's check") << sampleConfiguration() << "ipa4=14"
                                    << message(Status::HostOctetTooLow) << 1;
    // The node's own clock fails the check, as the window would refuse to
    // send the form it shows.
    QTest::newRow("node's clock at 0") << zeroClocks() << "ip=2.0.0.20"
                                       << message(Status::Spi1FreqTooLow) << 1;
}

void TestCli::refusedSetWritesNothing()
{
    QFETCH(NodeReport, current);
    QFETCH(QString, assignment);
    QFETCH(QString, expected);
    QFETCH(int, enumerations);

    const fakehid::DeviceId device = fakehid::plug(current);
    const CliRun run = runCli({"set", assignment});
    QCOMPARE(run.status, Exit::BadInput);
    QVERIFY2(run.lines.noted.join('\n').contains(expected), qPrintable(run.lines.all()));
    QCOMPARE(writesTo(device), 0);
    QCOMPARE(fakehid::enumerationCount(), enumerations);
}

void TestCli::presets_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<NodeReport>("expected");
    QTest::addColumn<QString>("said");

    QTest::newRow("factory reset") << QStringList{"factory-reset"} << int(SmallCapacity)
                                   << factoryReport(SmallCapacity) << "Paramètres d'usine : écrit";
    QTest::newRow("curtain 3, 3X2") << QStringList{"curtain", "3", "--size", "3x2"}
                                    << int(LargeCapacity)
                                    << curtainReport(3, CurtainSize::ThreeByTwo, LargeCapacity)
                                    << "Rideau 3 (3X2) : écrit et vérifié";
    QTest::newRow("costume 241") << QStringList{"costume", "241"} << int(LargeCapacity)
                                 << costumeReport(241, LargeCapacity) << "Costume 241 : écrit";
}

void TestCli::presets()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, capacity);
    QFETCH(NodeReport, expected);
    QFETCH(QString, said);

    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration(), capacity);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::Done);
    COMPARE_REPORT(fakehid::node(device).receivedReports()[1], expected);
    QVERIFY2(run.lines.printed.join('\n').contains(said), qPrintable(run.lines.all()));
}

void TestCli::badUnitNumber_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QStringList{"curtain", ""} << message(Status::NoCurtainNumber);
    QTest::newRow("242") << QStringList{"curtain", "242"} << message(Status::TooManyCurtains);
    QTest::newRow("costume 255") << QStringList{"costume", "255"} << message(Status::TooManyCostumes);
    QTest::newRow("costume 256") << QStringList{"costume", "256"} << "« 256 » n'est pas un numéro";
    QTest::newRow("letters") << QStringList{"curtain", "deux"} << "« deux » n'est pas un numéro";
    QTest::newRow("size") << QStringList{"curtain", "1", "--size", "5X5"} << "--size : « 5X5 »";
    QTest::newRow("series from 242") << QStringList{"series", "curtain", "--from", "242"}
                                     << message(Status::TooManyCurtains);
}

void TestCli::badUnitNumber()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    fakehid::plug(sampleConfiguration());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::BadInput);
    QVERIFY2(run.lines.noted.join('\n').contains(expected), qPrintable(run.lines.all()));
    QCOMPARE(fakehid::enumerationCount(), 0);
}

void TestCli::twoNodesNeedDevice_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("show") << QStringList{"show"};
    QTest::newRow("set") << QStringList{"set", "offset=1"};
    QTest::newRow("factory reset") << QStringList{"factory-reset"};
    QTest::newRow("curtain") << QStringList{"curtain", "1"};
}

void TestCli::twoNodesNeedDevice()
{
    QFETCH(QStringList, arguments);

    fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"A"));
    fakehid::plug(sampleConfiguration());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::BadInput);
    QVERIFY2(run.lines.noted.join('\n').contains(
                 "2 nodes branchés : fakehid:0 (série A), fakehid:1 (sans numéro de série)"),
             qPrintable(run.lines.all()));
    QVERIFY(run.lines.noted.join('\n').contains("--device"));
    QCOMPARE(fakehid::writeCount(), 0);
}

void TestCli::deviceChoosesTheNode()
{
    const fakehid::DeviceId first = fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"A"));
    const fakehid::DeviceId second = fakehid::plug(sampleConfiguration());

    const CliRun bySerial = runCli({"costume", "2", "--device", "A"});
    QCOMPARE(bySerial.status, Exit::Done);
    const CliRun byPath = runCli({"costume", "3", "--device=fakehid:1"});
    QCOMPARE(byPath.status, Exit::Done);
    QCOMPARE(stored(first)[Report::IpAddress + 3], std::uint8_t(16));
    QCOMPARE(stored(second)[Report::IpAddress + 3], std::uint8_t(17));

    const CliRun unknown = runCli({"costume", "4", "--device", "B", "--wait", "1"});
    QCOMPARE(unknown.status, Exit::NoNode);
    QVERIFY2(unknown.lines.noted.join('\n').contains("aucun node « B » parmi les nodes branchés"),
             qPrintable(unknown.lines.all()));
    QCOMPARE(writesTo(first) + writesTo(second), 2);
}

// Two nodes flashed with one serial number: `list` marks it, and --device
// with it names both paths and writes nothing.
void TestCli::sharedSerialIsAmbiguous()
{
    const fakehid::DeviceId first =
        fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"FAKE0001"));
    const fakehid::DeviceId second =
        fakehid::plug(factoryReport(LargeCapacity), LargeCapacity, withSerial(L"FAKE0001"));
    fakehid::plug(sampleConfiguration(), LargeCapacity, withSerial(L"OWN"));

    const CliRun list = runCli({"list"});
    QCOMPARE(list.status, Exit::Done);
    QCOMPARE(list.lines.printed,
             (QStringList{"fakehid:0 (série FAKE0001, partagée par 2 nodes) : IP 192.168.1.50, 16 univers",
                          "fakehid:1 (série FAKE0001, partagée par 2 nodes) : IP 2.0.0.15, 16 univers",
                          "fakehid:2 (série OWN) : IP 192.168.1.50, 16 univers"}));

    const CliRun curtain = runCli({"curtain", "1", "--device", "FAKE0001"});
    QCOMPARE(curtain.status, Exit::BadInput);
    QCOMPARE(curtain.lines.noted,
             QStringList{"nodeconfig-cli: --device « FAKE0001 » est ambigu, 2 nodes branchés ont ce "
                         "numéro de série : fakehid:0, fakehid:1 ; nommez-en un par son chemin"});
    QCOMPARE(writesTo(first) + writesTo(second), 0);
}

void TestCli::windowsDevicePath_data()
{
    QTest::addColumn<QString>("device");

    const QString path = QString::fromLatin1(WindowsPath);
    QTest::newRow("path as listed") << path;
    QTest::newRow("path in lower case") << path.toLower();
    QTest::newRow("path after =") << "=" + path;
    QTest::newRow("serial number") << "W1";
}

// A node named by the path hidapi gives on Windows: backslashes, '#', '&',
// braces, in any case.
void TestCli::windowsDevicePath()
{
    QFETCH(QString, device);

    fakehid::DeviceInfo info = withSerial(L"W1");
    info.path = WindowsPath;
    const fakehid::DeviceId windows = fakehid::plug(sampleConfiguration(), LargeCapacity, info);
    fakehid::DeviceInfo other;
    other.path = OtherWindowsPath;
    const fakehid::DeviceId second = fakehid::plug(sampleConfiguration(), LargeCapacity, other);

    const CliRun list = runCli({"list"});
    QVERIFY2(list.lines.printed.value(0).startsWith(QString::fromLatin1(WindowsPath) + " (série W1) : IP"),
             qPrintable(list.lines.all()));
    const QStringList arguments = device.startsWith('=')
        ? QStringList{"costume", "2", "--device" + device}
        : QStringList{"costume", "2", "--device", device};
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::Done);
    QCOMPARE(writesTo(windows), 1);
    QCOMPARE(writesTo(second), 0);
}

void TestCli::failedWriteOrVerification_data()
{
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<QString>("expected");

    QTest::newRow("write refused") << true << "Rideau 1 (2X1) : écriture refusée";
    QTest::newRow("node keeps its old configuration")
        << false << "vérification échouée, le node fakehid:0 (sans numéro de série) relit autre "
                    "chose : IP : écrit 2.0.0.15, relu 192.168.1.50";
}

void TestCli::failedWriteOrVerification()
{
    QFETCH(bool, writeFails);
    QFETCH(QString, expected);

    const fakehid::DeviceId device = fakehid::plug(sampleConfiguration());
    if (writeFails)
        fakehid::setConfigurationWritesRefused(device, true);
    else
        fakehid::node(device).setIgnoresWrites(true);
    const CliRun run = runCli({"curtain", "1"});
    QCOMPARE(run.status, Exit::NodeFailure);
    QVERIFY2(run.lines.noted.join('\n').contains(expected), qPrintable(run.lines.all()));
    QVERIFY(run.lines.printed.isEmpty());
}

void TestCli::readRetriedOnce_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("show") << QStringList{"show"};
    // The first answer, come too late, must not pass for the read-back's.
    QTest::newRow("curtain: the late answer is not the read-back's") << QStringList{"curtain", "1"};
}

// The first read times out and its answer stays queued: the request is
// made again once, and the command ends as if nothing happened.
void TestCli::readRetriedOnce()
{
    QFETCH(QStringList, arguments);

    fakehid::plug(sampleConfiguration());
    fakehid::failNextRead(fakehid::Fault::Timeout);
    FakeClock clock;
    const CliRun run = runCli(arguments, clock);
    QVERIFY2(run.status == Exit::Done, qPrintable(run.lines.all()));
    QCOMPARE(clock.sleeps, 1);
}

void TestCli::pausesOnlyToStore_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("pauses");

    QTest::newRow("show") << QStringList{"show"} << 0;
    QTest::newRow("list") << QStringList{"list"} << 0;
    QTest::newRow("curtain") << QStringList{"curtain", "2"} << 1;
    QTest::newRow("series, one unit") << QStringList{"series", "costume", "--from", "1", "--count", "1"}
                                      << 1;
}

// Requests are not followed by a pause: their reply is read at once. A
// configuration write pauses once, as long as the transport's setting says.
void TestCli::pausesOnlyToStore()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, pauses);

    fakehid::plug(sampleConfiguration());
    const CliRun run = runCli(arguments);
    QCOMPARE(run.status, Exit::Done);
    QCOMPARE(transportPauses(), std::vector<int>(std::size_t(pauses), hidPacing().pauseAfterWriteMs));
    QCOMPARE(hidPacing().pauseAfterWriteMs, HidPauseAfterWriteMs);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

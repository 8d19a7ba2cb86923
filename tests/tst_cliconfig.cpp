// The command-line tool's configuration file and its FIELD=VALUE changes:
// what they hold, and everything they refuse before any node is touched.

#include "app/messages.h"
#include "cli/configfile.h"
#include "cli/fieldassignment.h"
#include "protocol/encoding.h"
#include "protocol/presets.h"
#include "clitestsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

Q_DECLARE_METATYPE(NodeReport)

namespace {

// Every byte a restore must give back: the configuration and the reserved
// bytes; byte 33 is the capacity, which the file carries apart.
void compareRestored(const NodeReport &restored, const NodeReport &saved)
{
    NodeReport expected = saved;
    expected[Report::Command] = cmdWriteConfig;
    expected[Report::MaxUniverses] =
        static_cast<std::uint8_t>(capacityFromByte(saved[Report::MaxUniverses]));
    COMPARE_REPORT(restored, expected);
}

QJsonObject savedObject()
{
    return QJsonDocument::fromJson(ConfigFile::toJson(sampleConfiguration())).object();
}

QByteArray withValue(const QString &key, const QJsonValue &value)
{
    QJsonObject object = savedObject();
    object[key] = value;
    return QJsonDocument(object).toJson();
}

QByteArray without(const QString &key)
{
    QJsonObject object = savedObject();
    object.remove(key);
    return QJsonDocument(object).toJson();
}

QString setFailure(const QStringList &arguments, const NodeReport &current)
{
    const ParsedAssignments parsed = parseAssignments(arguments);
    if (!parsed.failure.isEmpty())
        return parsed.failure;
    ConfigForm form(current);
    return applyAssignments(parsed.assignments, form);
}

} // namespace

class TestCliConfig : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetCliState(); }
    void fileRoundTrip_data();
    void fileRoundTrip();
    void fileNamesEveryField();
    void badFile_data();
    void badFile();
    void setChangesOnlyItsFields_data();
    void setChangesOnlyItsFields();
    void badSetValue_data();
    void badSetValue();
};

void TestCliConfig::fileRoundTrip_data()
{
    QTest::addColumn<NodeReport>("saved");

    QTest::newRow("sample, reserved bytes set") << sampleConfiguration();
    QTest::newRow("factory, 8 universes") << factoryReport(SmallCapacity);
    NodeReport extremes = sampleConfiguration();
    extremes[Report::OutputType] = Chip::LPD1886;
    extremes[Report::Spi1Freq] = 255;
    extremes[Report::Spi2Freq] = 1;
    for (std::size_t i = Report::Spi1Patch; i < Report::UniverseOffset; ++i)
        extremes[i] = static_cast<std::uint8_t>(i * 37);
    extremes[Report::UniverseOffset] = 255;
    extremes[Report::Reserved] = 0;
    extremes[Report::Size - 1] = 0xFF;
    QTest::newRow("extreme values") << extremes;
}

void TestCliConfig::fileRoundTrip()
{
    QFETCH(NodeReport, saved);

    const ConfigFile::Parsed parsed = ConfigFile::fromJson(ConfigFile::toJson(saved));
    QVERIFY2(parsed.form.has_value(), qPrintable(parsed.failure));
    QCOMPARE(parsed.capacity, capacityFromByte(saved[Report::MaxUniverses]));
    compareRestored(parsed.form->report(), saved);
}

void TestCliConfig::fileNamesEveryField()
{
    const QJsonObject object = savedObject();
    QCOMPARE(object.value("formatVersion").toInt(), 1);
    QCOMPARE(object.value("address").toString(), QString("192.168.1.50"));
    QCOMPARE(object.value("mask").toString(), QString("255.255.255.0"));
    QCOMPARE(object.value("broadcast").toString(), QString("192.168.1.255"));
    QCOMPARE(object.value("universeOffset").toInt(), 3);
    QCOMPARE(object.value("output").toString(), QString("LPD6803"));
    QCOMPARE(object.value("spi1ClockMHz").toDouble(), 0.8);
    QCOMPARE(object.value("spi2Patch").toArray().last().toInt(), 16);
    QCOMPARE(object.value("capacity").toInt(), 16);
    QVERIFY(object.value("reserved").toString().startsWith("C2 C3 C4"));
    QCOMPARE(object.keys().size(), 12);
}

void TestCliConfig::badFile_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");

    const QString fill = message(Status::FillAllFields);
    QTest::newRow("cut short") << QByteArray("{\"address\": ") << "JSON mal formé";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "objet JSON";
    QTest::newRow("key twice") << QByteArray("{\"spi2Patch\": [1], \"spi2Patch\": [2]}")
                               << "clé « spi2Patch » en double";
    QTest::newRow("key twice, once escaped")
        << QByteArray("{\"a\": {\"x\": 1, \"\\u0078\": 2}}") << "clé « x » en double";
    QTest::newRow("same key in two objects") << QByteArray("[{\"a\": 1}, {\"a\": 2}]")
                                             << "objet JSON";
    QTest::newRow("no version") << without("formatVersion") << "clé « formatVersion » absente";
    QTest::newRow("later version") << withValue("formatVersion", 2) << "version 2 inconnue";
    QTest::newRow("unknown key") << withValue("colour", "red") << "clé inconnue « colour »";
    QTest::newRow("missing mask") << without("mask") << "« mask » : " + fill;
    QTest::newRow("missing reserved") << without("reserved") << "« reserved » : " + fill;
    QTest::newRow("address as number") << withValue("address", 12) << "« address » : une chaîne";
    QTest::newRow("three octets") << withValue("address", "192.168.1") << "quatre nombres";
    QTest::newRow("octet 256") << withValue("mask", "255.256.0.0")
                               << "« mask » : « 256 » n'est pas un nombre entier de 0 à 255";
    QTest::newRow("empty octet") << withValue("broadcast", "2..255.255") << fill;
    QTest::newRow("host octet 14")
        << withValue("address", "2.0.0.14") << message(Status::HostOctetTooLow);
    QTest::newRow("offset 3.5") << withValue("universeOffset", 3.5) << "un nombre entier";
    QTest::newRow("offset as text") << withValue("universeOffset", "3") << "un nombre entier";
    QTest::newRow("offset -1") << withValue("universeOffset", -1) << "« -1 »";
    QTest::newRow("unknown chip") << withValue("output", "WS2811") << "type de sortie connu";
    QTest::newRow("chip as code") << withValue("output", 2) << "le nom d'un type de sortie";
    QTest::newRow("clock 13") << withValue("spi1ClockMHz", 13) << message(Status::Spi1FreqTooHigh);
    QTest::newRow("clock 0.04") << withValue("spi2ClockMHz", 0.04) << message(Status::Spi2FreqTooLow);
    QTest::newRow("clock 0") << withValue("spi1ClockMHz", 0) << message(Status::Spi1FreqTooLow);
    QTest::newRow("three decimals") << withValue("spi1ClockMHz", 0.125) << "au plus 2 décimales";
    QTest::newRow("between steps") << withValue("spi2ClockMHz", 0.07) << "multiple de 0,05";
    QTest::newRow("clock as text") << withValue("spi1ClockMHz", "0,8") << "un nombre de MHz";
    QTest::newRow("seven patches")
        << withValue("spi1Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7}) << "tableau de 8";
    QTest::newRow("patch 300") << withValue("spi2Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7, 300})
                               << "« spi2Patch » : « 300 »";
    QTest::newRow("patch as text")
        << withValue("spi1Patch", QJsonArray{1, 2, 3, 4, 5, 6, 7, "8"}) << "tableau de 8";
    QTest::newRow("capacity 12") << withValue("capacity", 12) << "8 ou 16";
    QTest::newRow("reserved short") << withValue("reserved", "A2 A3") << "30 octets";
    QTest::newRow("reserved not hex") << withValue("reserved", QString(60, 'Z')) << "30 octets";
}

void TestCliConfig::badFile()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);

    const ConfigFile::Parsed parsed = ConfigFile::fromJson(json);
    QVERIFY(!parsed.form.has_value());
    QVERIFY2(parsed.failure.contains(expected), qPrintable(parsed.failure));
}

void TestCliConfig::setChangesOnlyItsFields_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<NodeReport>("expected");

    NodeReport base = sampleConfiguration();
    base[Report::Command] = cmdWriteConfig;
    const auto changed = [&base](std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
        NodeReport report = base;
        for (const auto &byte : bytes)
            report[byte.first] = byte.second;
        return report;
    };
    QTest::newRow("address") << QStringList{"ip=2.0.0.20"}
                             << changed({{1, 2}, {2, 0}, {3, 0}, {4, 20}});
    QTest::newRow("clock, comma") << QStringList{"spi1freq=0,4"} << changed({{14, 8}});
    QTest::newRow("clock, point") << QStringList{"spi2freq=12.75"} << changed({{15, 255}});
    QTest::newRow("chip, any case") << QStringList{"output=sn16716"} << changed({{13, 3}});
    QTest::newRow("chip with spaces")
        << QStringList{"output=LPD1886 (4096 couleurs)"} << changed({{13, 7}});
    QTest::newRow("patch table") << QStringList{"spi2patch=8,7,6,5,4,3,2,1"}
                                 << changed({{24, 8}, {25, 7}, {26, 6}, {27, 5},
                                             {28, 4}, {29, 3}, {30, 2}, {31, 1}});
    QTest::newRow("window's edit names") << QStringList{"ipa4=99", "SPI2P3=7", "ipm4=128"}
                                         << changed({{4, 99}, {26, 7}, {8, 128}});
    QTest::newRow("file keys") << QStringList{"universeOffset=0", "address=10.0.0.15"}
                               << changed({{32, 0}, {1, 10}, {2, 0}, {3, 0}, {4, 15}});
    QTest::newRow("several") << QStringList{"ip=2.0.0.20", "spi1freq=0,8", "output=LPD6803"}
                             << changed({{1, 2}, {2, 0}, {3, 0}, {4, 20}});
}

void TestCliConfig::setChangesOnlyItsFields()
{
    QFETCH(QStringList, arguments);
    QFETCH(NodeReport, expected);

    const ParsedAssignments parsed = parseAssignments(arguments);
    QVERIFY2(parsed.failure.isEmpty(), qPrintable(parsed.failure));
    ConfigForm form(sampleConfiguration());
    const QString failure = applyAssignments(parsed.assignments, form);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    COMPARE_REPORT(form.report(), expected);
}

void TestCliConfig::badSetValue_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing") << QStringList{} << "au moins un CHAMP=VALEUR";
    QTest::newRow("unknown field") << QStringList{"colour=red"} << "champ inconnu « colour »";
    QTest::newRow("capacity is the node's") << QStringList{"capacity=8"} << "champ inconnu";
    QTest::newRow("no equals") << QStringList{"ip"} << "CHAMP=VALEUR";
    QTest::newRow("no name") << QStringList{"=5"} << "CHAMP=VALEUR";
    QTest::newRow("empty value") << QStringList{"ip="} << message(Status::FillAllFields);
    QTest::newRow("byte 256") << QStringList{"ipa1=256"} << "ipa1 : « 256 » n'est pas un nombre";
    QTest::newRow("negative") << QStringList{"offset=-1"} << "« -1 »";
    QTest::newRow("decimal byte") << QStringList{"offset=1.5"} << "« 1.5 »";
    QTest::newRow("three decimals") << QStringList{"spi1freq=0,125"} << "au plus 2 décimales";
    QTest::newRow("clock word") << QStringList{"spi1freq=vite"} << "fréquence en MHz";
    QTest::newRow("unknown chip") << QStringList{"output=WS2811"} << "type de sortie connu";
    QTest::newRow("three patches") << QStringList{"spi1patch=1,2,3"} << "8 numéros";
    QTest::newRow("bad after good") << QStringList{"ip=2.0.0.20", "ipb2=x"} << "ipb2 : « x »";
    QTest::newRow("host octet 14") << QStringList{"ipa4=14"} << message(Status::HostOctetTooLow);
    QTest::newRow("clock 20") << QStringList{"spi2freq=20"} << message(Status::Spi2FreqTooHigh);
    QTest::newRow("lone comma") << QStringList{"spi1freq=,"} << message(Status::Spi1FreqTooLow);
    QTest::newRow("between steps") << QStringList{"spi1freq=0,07"} << "multiple de 0,05";
}

void TestCliConfig::badSetValue()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    const QString failure = setFailure(arguments, sampleConfiguration());
    QVERIFY2(failure.contains(expected), qPrintable(failure));
}

QTEST_GUILESS_MAIN(TestCliConfig)
#include "tst_cliconfig.moc"

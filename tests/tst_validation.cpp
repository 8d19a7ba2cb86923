// The checks of the configuration form and of the unit numbers, on their
// own and as a user meets them: type into the window, press "Envoyer", and
// see either the message with nothing changed or the report going out.

#include "app/sharedstate.h"
#include "protocol/validation.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QtTest>

namespace {

const QString emptyField = QString::fromUtf8("Veuillez remplir tous les champs");
const QString hostTooLow = QString::fromUtf8("L'adresse IP minimum est .15");
const QString sending = QString::fromUtf8(Status::SendingNewValues);

// A valid form, then the row's "name=text" changes on top of it.
QMap<QString, QString> formTexts(const QStringList &changes)
{
    QMap<QString, QString> texts;
    const QStringList valid = {"192", "168", "1",   "20",  "255", "255", "255", "0",
                               "192", "168", "1",   "255", "0,8", "0,8",
                               "1",   "2",   "3",   "4",   "5",   "6",   "7",   "8",
                               "9",   "10",  "11",  "12",  "13",  "14",  "15",  "16",
                               "0"};
    for (int i = 0; i < configEditNames.size(); ++i)
        texts[configEditNames[i]] = valid[i];
    texts["numRideau"] = "1";
    for (const QString &change : changes) {
        const int split = change.indexOf('=');
        texts[change.left(split)] = change.mid(split + 1);
    }
    return texts;
}

// Types like a user; a text the field's validator refuses is put in
// directly, since the check must catch it all the same.
void enter(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

class TestValidation : public QObject
{
    Q_OBJECT

private slots:
    void configuration_data();
    void configuration();
    void sendChecksForm_data();
    void sendChecksForm();
    void unitNumber_data();
    void unitNumber();
};

void TestValidation::configuration_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<int>("chip");
    QTest::addColumn<QString>("failure");

    const int clocked = Chip::LPD6803;
    QTest::newRow("all filled, host 15, lowest clocks")
        << QStringList{"ipa4=15", "spi1freq=0,05", "spi2freq=0,05"} << clocked << QString();
    QTest::newRow("offset empty") << QStringList{"offset="} << clocked << emptyField;
    QTest::newRow("first octet empty before a low host")
        << QStringList{"ipa1=", "ipa4=3"} << clocked << emptyField;
    QTest::newRow("blank text counts as filled") << QStringList{"ipm2= "} << clocked << QString();
    QTest::newRow("host 14 before a clock of 99")
        << QStringList{"ipa4=14", "spi1freq=99"} << clocked << hostTooLow;
    QTest::newRow("host not a number") << QStringList{"ipa4=x"} << clocked << hostTooLow;
    QTest::newRow("SPI1 12,75") << QStringList{"spi1freq=12,75"} << clocked << QString();
    QTest::newRow("SPI1 12,76")
        << QStringList{"spi1freq=12,76"} << clocked << QString("SPI1 Freq trop haut");
    QTest::newRow("SPI1 0,04")
        << QStringList{"spi1freq=0,04"} << clocked << QString("SPI1 Freq trop bas");
    QTest::newRow("SPI1 lone comma")
        << QStringList{"spi1freq=,"} << clocked << QString("SPI1 Freq trop bas");
    QTest::newRow("SPI1 with a point") << QStringList{"spi1freq=0.5"} << clocked << QString();
    QTest::newRow("SPI2 20")
        << QStringList{"spi2freq=20"} << clocked << QString("SPI2 Freq trop haut");
    QTest::newRow("SPI2 0,04")
        << QStringList{"spi2freq=0,04"} << clocked << QString("SPI2 Freq trop bas");
    QTest::newRow("SPI1 checked before SPI2")
        << QStringList{"spi1freq=13", "spi2freq=0"} << clocked << QString("SPI1 Freq trop haut");
    QTest::newRow("hidden SPI2 clock empty")
        << QStringList{"spi2freq="} << int(Chip::TS3001) << emptyField;
    QTest::newRow("hidden clocks still range-checked")
        << QStringList{"spi2freq=0"} << int(Chip::DMX512) << QString("SPI2 Freq trop bas");
    QTest::newRow("curtain number empty") << QStringList{"numRideau="} << clocked << QString();
}

void TestValidation::configuration()
{
    QFETCH(QStringList, changes);
    QFETCH(QString, failure);

    const QMap<QString, QString> texts = formTexts(changes);
    ConfigTexts config;
    for (int slot = 0; slot < Slot::EditCount; ++slot)
        config[slot] = texts[configEditNames[slot]];
    QCOMPARE(configurationFailure(config), failure);
}

void TestValidation::sendChecksForm_data()
{
    configuration_data();
}

void TestValidation::sendChecksForm()
{
    QFETCH(QStringList, changes);
    QFETCH(int, chip);
    QFETCH(QString, failure);

    resetSharedState();
    MainWindow window;
    window.show();
    const QMap<QString, QString> texts = formTexts(changes);
    window.findChild<QComboBox *>("output")->setCurrentIndex(chip);
    for (auto it = texts.begin(); it != texts.end(); ++it)
        enter(window.findChild<QLineEdit *>(it.key()), it.value());

    // A node that was found and read: a write that got through would reach
    // the library. A passing form's write fails at once, sparing the pause.
    fakehid::plug(sampleConfiguration());
    QCOMPARE(hidOpen(Node::MaxDevices, Node::VendorId, Node::ProductId, Node::AnyUsagePage,
                     Node::AnyUsage),
             1);
    fakehid::failNextWrite(fakehid::Fault::Error);
    waitingForNode = false;
    NodeReport before = sampleConfiguration();
    before[Report::Command] = cmdWriteConfig;
    reportBuffer = before;
    for (int slot = 0; slot < Slot::Stored; ++slot)
        DisplayFields[slot] = QString("slot %1").arg(slot);
    const FieldTexts fieldsBefore = DisplayFields;
    outputTypeIndex = Chip::WS2812RGBW;
    statusText = "before";

    QTest::mouseClick(window.findChild<QPushButton *>("bSend"), Qt::LeftButton);

    if (failure.isEmpty()) {
        QCOMPARE(statusText, sending);
        QCOMPARE(fakehid::writeCount(), 1);
        QCOMPARE(int(reportBuffer[Report::Command]), int(cmdWriteConfig));
        QCOMPARE(outputTypeIndex, chip);
        QVERIFY(waitingForNode);
        return;
    }
    QCOMPARE(statusText, failure);
    QVERIFY(reportBuffer == before);
    QVERIFY(DisplayFields == fieldsBefore);
    QCOMPARE(outputTypeIndex, int(Chip::WS2812RGBW));
    QVERIFY(!waitingForNode);
    QCOMPARE(fakehid::writeCount(), 0);
    QVERIFY(fakehid::node(0).receivedReports().empty());
    // The user's texts stay as typed, and the message reaches the status line.
    for (auto it = texts.begin(); it != texts.end(); ++it)
        QCOMPARE(window.findChild<QLineEdit *>(it.key())->text(), it.value());
    processRefresh(window);
    QCOMPARE(window.findChild<QLabel *>("display")->text(), failure);
}

void TestValidation::unitNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("curtain");
    QTest::addColumn<QString>("failure");

    const QString noCurtain = QString::fromUtf8("Aucun numéro de rideau");
    const QString noCostume = QString::fromUtf8("Aucun numéro de costume");
    QTest::newRow("curtain empty") << QString() << true << noCurtain;
    QTest::newRow("costume empty") << QString() << false << noCostume;
    QTest::newRow("curtain 242") << "242" << true << QString("Impossible d'ajouter plus de rideau");
    QTest::newRow("costume 242")
        << "242" << false << QString("Impossible d'ajouter plus de costume");
    QTest::newRow("curtain 255") << "255" << true << QString("Impossible d'ajouter plus de rideau");
    QTest::newRow("curtain 0") << "0" << true << QString();
    QTest::newRow("costume 0") << "0" << false << QString();
    QTest::newRow("curtain 241") << "241" << true << QString();
    QTest::newRow("costume 241") << "241" << false << QString();
    QTest::newRow("not a number counts as 0") << "x" << false << QString();
}

void TestValidation::unitNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, curtain);
    QFETCH(QString, failure);

    QCOMPARE(unitNumberFailure(text, curtain ? UnitKind::Curtain : UnitKind::Costume), failure);
}

QTEST_MAIN(TestValidation)
#include "tst_validation.moc"

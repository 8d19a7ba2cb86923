// "Envoyer": what the typed form becomes in the report, what reaches the
// node, and what the window shows once the node has been read back.

#include "app/sharedstate.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMap>
#include <QPushButton>
#include <QtTest>

namespace {

using ByteValues = QVector<QPair<int, int>>;

const QStringList addressExample = {"ipa1=192", "ipa2=168", "ipa3=1",   "ipa4=20",
                                    "ipm1=255", "ipm2=255", "ipm3=255", "ipm4=0",
                                    "ipb1=192", "ipb2=168", "ipb3=1",   "ipb4=255"};

void type(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

// Types the row's "name=text" changes into the window.
QMap<QString, QString> typeChanges(MainWindow &window, const QStringList &changes)
{
    QMap<QString, QString> typed;
    for (const QString &change : changes) {
        const int split = change.indexOf('=');
        typed[change.left(split)] = change.mid(split + 1);
        type(window.findChild<QLineEdit *>(change.left(split)), change.mid(split + 1));
    }
    return typed;
}

QStringList fieldTexts(MainWindow &window)
{
    QStringList texts;
    for (const QString &name : configEditNames)
        texts << window.findChild<QLineEdit *>(name)->text();
    return texts << window.findChild<QLabel *>("maxUnivers")->text();
}

struct DefaultLocale {
    explicit DefaultLocale(const QLocale &locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
};

} // namespace

class TestSend : public QObject
{
    Q_OBJECT

private slots:
    void encodesTypedForm_data();
    void encodesTypedForm();
    void writesNodeAndShowsReadBack_data();
    void writesNodeAndShowsReadBack();
};

void TestSend::encodesTypedForm_data()
{
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<int>("chip");
    QTest::addColumn<ByteValues>("bytes");

    const int lpd = Chip::LPD6803;
    QTest::newRow("form as typed") << QStringList() << lpd << ByteValues();
    QTest::newRow("address example")
        << addressExample << lpd
        << ByteValues{{1, 192}, {2, 168}, {3, 1},  {4, 20},  {5, 255},  {6, 255},
                      {7, 255}, {8, 0},   {9, 192}, {10, 168}, {11, 1}, {12, 255}};
    QTest::newRow("0,8 MHz") << QStringList{"spi1freq=0,8"} << lpd << ByteValues{{14, 16}};
    QTest::newRow("0,05 MHz") << QStringList{"spi1freq=0,05"} << lpd << ByteValues{{14, 1}};
    QTest::newRow("12,75 MHz") << QStringList{"spi1freq=12,75"} << lpd << ByteValues{{14, 255}};
    QTest::newRow("0,07 MHz truncated")
        << QStringList{"spi1freq=0,07"} << lpd << ByteValues{{14, 1}};
    QTest::newRow("0,15 MHz") << QStringList{"spi1freq=0,15"} << lpd << ByteValues{{14, 3}};
    QTest::newRow("0,3 MHz") << QStringList{"spi1freq=0,3"} << lpd << ByteValues{{14, 6}};
    QTest::newRow("0.5 MHz with a point")
        << QStringList{"spi1freq=0.5"} << lpd << ByteValues{{14, 10}};
    QTest::newRow("SPI2 0,15 MHz") << QStringList{"spi2freq=0,15"} << lpd << ByteValues{{15, 3}};
    QTest::newRow("SN16716") << QStringList() << int(Chip::SN16716) << ByteValues{{13, 3}};
    QTest::newRow("DMX_512, clocks hidden but sent")
        << QStringList() << int(Chip::DMX512) << ByteValues{{13, 4}};
    QTest::newRow("spi1p3 holding 7") << QStringList{"spi1p3=7"} << lpd << ByteValues{{18, 7}};
    QTest::newRow("last patch and offset")
        << QStringList{"spi2p8=200", "offset=255"} << lpd << ByteValues{{31, 200}, {32, 255}};
}

// No node: the write fails at once, and the buffer shows what would go out.
void TestSend::encodesTypedForm()
{
    QFETCH(QStringList, changes);
    QFETCH(int, chip);
    QFETCH(ByteValues, bytes);

    resetSharedState();
    // The point form is typed too, which a comma locale's validator refuses.
    const DefaultLocale defaultLocale(QLocale::c());
    MainWindow window;
    window.show();
    const QStringList base = {"10", "0",  "0",  "50", "255", "0",  "0",  "0",
                              "10", "255", "255", "255", "1", "2,5",
                              "11", "12", "13", "14", "15", "16", "17", "18",
                              "21", "22", "23", "24", "25", "26", "27", "28", "3"};
    QStringList form;
    for (int i = 0; i < configEditNames.size(); ++i)
        form << configEditNames[i] + '=' + base[i];
    const QMap<QString, QString> typed = typeChanges(window, form + changes);
    window.findChild<QComboBox *>("output")->setCurrentIndex(chip);

    // An earlier reply left its bytes; the send must replace 1..33 only.
    for (std::size_t i = Report::ConfigFirst; i < Report::Size; ++i)
        reportBuffer[i] = i < Report::Reserved ? 0xEE : static_cast<std::uint8_t>(0xA0 + i);
    NodeReport expected = {1, 10, 0, 0, 50, 255, 0, 0, 0, 10, 255, 255, 255, 2, 20, 50,
                           11, 12, 13, 14, 15, 16, 17, 18, 21, 22, 23, 24, 25, 26, 27, 28,
                           3, 0};
    for (std::size_t i = Report::Reserved; i < Report::Size; ++i)
        expected[i] = reportBuffer[i];
    for (const auto &byte : bytes)
        expected[static_cast<std::size_t>(byte.first)] = static_cast<std::uint8_t>(byte.second);
    waitingForNode = false;
    const QString statusBefore = statusText;

    QTest::mouseClick(window.findChild<QPushButton *>("bSend"), Qt::LeftButton);

    const QString diff = reportDiff(reportBuffer, expected);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QCOMPARE(outputTypeIndex, chip);
    for (int slot = 0; slot < Slot::EditCount; ++slot) {
        const QString text = typed[configEditNames[slot]];
        const QString pointForm = QString(text).replace(',', '.');
        QCOMPARE(DisplayFields[slot], Slot::isFrequency(slot) ? pointForm : text);
        // The widgets keep the decimal comma.
        QCOMPARE(window.findChild<QLineEdit *>(configEditNames[slot])->text(), text);
    }
    QCOMPARE(DisplayFields[Slot::MaxUniverses], QString("0"));
    QVERIFY(waitingForNode);
    QCOMPARE(statusText, statusBefore);
    QCOMPARE(fakehid::writeCount(), 0);
}

void TestSend::writesNodeAndShowsReadBack_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QLocale>("locale");

    QTest::newRow("16 universes") << int(LargeCapacity) << QLocale::c();
    QTest::newRow("8 universes, French user")
        << int(SmallCapacity) << QLocale(QLocale::French, QLocale::France);
}

void TestSend::writesNodeAndShowsReadBack()
{
    QFETCH(int, capacity);
    QFETCH(QLocale, locale);

    resetSharedState();
    const DefaultLocale defaultLocale(locale);
    const fakehid::DeviceId id = fakehid::plug(sampleConfiguration(), capacity);
    MainWindow window;
    window.show();
    QMetaObject::invokeMethod(&window, "searchDevice");
    processRefresh(window);
    QCOMPARE(window.findChild<QLineEdit *>("ipa4")->text(), QString("50"));
    QCOMPARE(window.findChild<QLabel *>("maxUnivers")->text(), QString::number(capacity));

    typeChanges(window, addressExample + QStringList{"spi1freq=0,3", "spi2freq=0,15", "spi1p3=7"});
    window.findChild<QComboBox *>("output")->setCurrentIndex(Chip::SN16716);
    QTest::mouseClick(window.findChild<QPushButton *>("bSend"), Qt::LeftButton);

    // The reserved bytes of the node's reply go back as they came.
    NodeReport expected = sampleConfiguration();
    const ByteValues changed = {{0, 1},  {4, 20}, {13, 3},
                                {14, 6}, {15, 3}, {18, 7}, {33, capacity}};
    for (const auto &byte : changed)
        expected[static_cast<std::size_t>(byte.first)] = static_cast<std::uint8_t>(byte.second);
    const auto &received = fakehid::node(id).receivedReports();
    QCOMPARE(received.size(), std::size_t(2));
    const QString diff = reportDiff(received.back(), expected);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
    QVERIFY(waitingForNode);
    QCOMPARE(statusText, QString::fromUtf8(Status::SendingNewValues));

    QMetaObject::invokeMethod(&window, "searchDevice");
    processRefresh(window);
    const QStringList shown = {"192", "168", "1",  "20", "255", "255", "255", "0",
                               "192", "168", "1",  "255", "0,3", "0,15",
                               "1",   "2",   "7",  "4",  "5",   "6",   "7",   "8",
                               "9",   "10",  "11", "12", "13",  "14",  "15",  "16",
                               "3",   QString::number(capacity)};
    QCOMPARE(fieldTexts(window), shown);
    QCOMPARE(window.findChild<QComboBox *>("output")->currentIndex(), int(Chip::SN16716));
    QCOMPARE(window.findChild<QLabel *>("display")->text(),
             QString::fromUtf8(Status::ConnectedToNode));
    QVERIFY(!waitingForNode);
}

QTEST_MAIN(TestSend)
#include "tst_send.moc"

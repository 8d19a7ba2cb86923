// The clock fields as a user meets them under the C and the French locale:
// what typing leaves in the field, that leaving the field (Tab, Return,
// another field, "Envoyer") never rewrites its text, and the clock byte that
// then reaches the node. The texts are those the tool has always kept, under
// every Qt version it builds with.

#include "app/sharedstate.h"
#include "protocol/decode.h"
#include "sim/fakehid.h"
#include "testsupport.h"
#include "ui/mainwindow.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

namespace {

constexpr int NothingWritten = -1;
const QString French = QStringLiteral("fr_FR");
const QString CLocale = QStringLiteral("C");

struct DefaultLocale {
    explicit DefaultLocale(const QString &name) { QLocale::setDefault(QLocale(name)); }
    ~DefaultLocale() { QLocale::setDefault(QLocale::c()); }
    DefaultLocale(const DefaultLocale &) = delete;
    DefaultLocale &operator=(const DefaultLocale &) = delete;
};

// How the user leaves the clock field before the send.
enum class Leave { Tab, Return, OtherField, SendButton };

// A node holding the sample configuration with the given SPI1 clock byte,
// opened as the search would open it, and its configuration on screen as a
// read would put it there.
fakehid::DeviceId showNode(MainWindow &window, std::uint8_t clock)
{
    NodeReport stored = sampleConfiguration();
    stored[Report::Spi1Freq] = clock;
    const fakehid::DeviceId node = fakehid::plug(stored);
    hidOpen(Node::MaxDevices, Node::VendorId, Node::ProductId, Node::AnyUsagePage,
            Node::AnyUsage);
    waitingForNode = false;
    nodeConnected = true;
    reportBuffer = stored;
    decodeReport(reportBuffer);
    reportBuffer[Report::Command] = cmdWriteConfig;
    QMetaObject::invokeMethod(&window, "updateDisplay");
    return node;
}

QLineEdit *clockField(MainWindow &window)
{
    return window.findChild<QLineEdit *>("spi1freq");
}

void focusField(MainWindow &window, QLineEdit *field)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

void leaveField(MainWindow &window, QLineEdit *field, Leave how)
{
    switch (how) {
    case Leave::Tab:
        QTest::keyClick(field, Qt::Key_Tab);
        QTRY_VERIFY(!field->hasFocus());
        break;
    case Leave::Return:
        QTest::keyClick(field, Qt::Key_Return);
        break;
    case Leave::OtherField:
        window.findChild<QLineEdit *>("offset")->setFocus();
        QTRY_VERIFY(!field->hasFocus());
        break;
    case Leave::SendButton:
        break; // the click below takes the focus
    }
}

void clickSend(MainWindow &window)
{
    QTest::mouseClick(window.findChild<QPushButton *>("bSend"), Qt::LeftButton);
}

// The SPI1 clock byte of the one command report the node received, or
// NothingWritten.
int writtenClock(fakehid::DeviceId node)
{
    int clock = NothingWritten;
    int commands = 0;
    for (const NodeReport &report : fakehid::node(node).receivedReports()) {
        if (report[Report::Command] == cmdWriteConfig) {
            clock = report[Report::Spi1Freq];
            ++commands;
        }
    }
    return commands <= 1 ? clock : NothingWritten - commands;
}

} // namespace

Q_DECLARE_METATYPE(Leave)

class FrequencyFieldTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void typing_data();
    void typing();
    void leaving_data();
    void leaving();
};

// Forty sends: the pause after each write is not what is tested here.
void FrequencyFieldTest::initTestCase()
{
    setHidPause([](int) {});
}

void FrequencyFieldTest::cleanupTestCase()
{
    setHidPause({});
}

void FrequencyFieldTest::init()
{
    resetSharedState();
}

void FrequencyFieldTest::typing_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("written");

    const QString tooHigh = message(Status::Spi1FreqTooHigh);
    const QString sending = message(Status::SendingNewValues);
    // Whole digits beyond the top are kept as unfinished input, for the send's
    // check to report; a point is no decimal separator in French and is refused.
    QTest::newRow("C, 128") << CLocale << "128" << "128" << tooHigh << NothingWritten;
    QTest::newRow("C, 255") << CLocale << "255" << "255" << tooHigh << NothingWritten;
    QTest::newRow("C, 12.75") << CLocale << "12.75" << "12.75" << sending << 255;
    QTest::newRow("C, 1,234") << CLocale << "1,234" << "1,234" << sending << 24;
    QTest::newRow("fr, 128") << French << "128" << "128" << tooHigh << NothingWritten;
    QTest::newRow("fr, 255") << French << "255" << "255" << tooHigh << NothingWritten;
    QTest::newRow("fr, 12.75") << French << "12.75" << "1275" << tooHigh << NothingWritten;
    QTest::newRow("fr, 1,234") << French << "1,234" << "1,23" << sending << 24;
}

void FrequencyFieldTest::typing()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, status);
    QFETCH(int, written);

    const DefaultLocale defaultLocale(locale);
    MainWindow window;
    const fakehid::DeviceId node = showNode(window, 16);
    QLineEdit *const field = clockField(window);
    focusField(window, field);

    typeInto(field, typed);
    QCOMPARE(field->text(), shown);
    clickSend(window);

    QCOMPARE(field->text(), shown);
    QCOMPARE(statusText, status);
    QCOMPARE(writtenClock(node), written);
}

void FrequencyFieldTest::leaving_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("decoded");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Leave>("how");
    QTest::addColumn<int>("written");

    struct Start {
        const char *name;
        int decoded;
        const char *typed;
        const char *text;
        int written;
    };
    // Decoded texts carry a decimal comma, which the C locale takes for a group
    // separator: the field must keep them all the same.
    const Start starts[] = {
        {"decoded 0,8", 16, "", "0,8", 16},
        {"decoded 0,05", 1, "", "0,05", 1},
        {"decoded 12,75", 255, "", "12,75", 255},
        {"typed 1,2", 16, "1,2", "1,2", 24},
    };
    const QPair<const char *, Leave> ways[] = {
        {"Tab", Leave::Tab},
        {"Return", Leave::Return},
        {"focus change", Leave::OtherField},
        {"Envoyer", Leave::SendButton},
    };
    for (const QString &locale : {CLocale, French}) {
        for (const Start &start : starts) {
            for (const auto &way : ways) {
                QTest::addRow("%s, %s, %s", qPrintable(locale), start.name, way.first)
                    << locale << start.decoded << QString::fromUtf8(start.typed)
                    << QString::fromUtf8(start.text) << way.second << start.written;
            }
        }
    }
}

void FrequencyFieldTest::leaving()
{
    QFETCH(QString, locale);
    QFETCH(int, decoded);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(Leave, how);
    QFETCH(int, written);

    const DefaultLocale defaultLocale(locale);
    MainWindow window;
    const fakehid::DeviceId node = showNode(window, static_cast<std::uint8_t>(decoded));
    QLineEdit *const field = clockField(window);
    focusField(window, field);
    if (!typed.isEmpty())
        typeInto(field, typed);
    QCOMPARE(field->text(), text);

    leaveField(window, field, how);
    QCOMPARE(field->text(), text);
    clickSend(window);

    QCOMPARE(field->text(), text);
    QCOMPARE(statusText, message(Status::SendingNewValues));
    QCOMPARE(writtenClock(node), written);
}

QTEST_MAIN(FrequencyFieldTest)
#include "tst_frequencyfield.moc"

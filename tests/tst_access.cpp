// A node that is plugged in but cannot be opened (no access rights, or held
// by another program): the window says so instead of waiting for ever, the
// console names it once per plug-in, nothing is sent to it, and once it can
// be opened the normal read follows by itself.

#include "testsupport.h"

#include "app/sharedstate.h"
#include "protocol/fieldmap.h"
#include "sim/fakehid.h"
#include "ui/mainwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

const QString Waiting = message(Status::WaitingForNode);
const QString Connected = message(Status::ConnectedToNode);
const QString Refused = message(Status::AccessRefused);
constexpr int TicksWhileRefused = 5;

// One search tick followed by one refresh, as the two timers run them.
void tickAndRefresh(MainWindow &window)
{
    QVERIFY(QMetaObject::invokeMethod(&window, "searchDevice"));
    QVERIFY(QMetaObject::invokeMethod(&window, "updateDisplay"));
}

QStringList history(const MainWindow &window)
{
    QStringList lines;
    for (const char *name : {"display", "display2", "display3", "display4"})
        lines << window.findChild<QLabel *>(QString::fromLatin1(name))->text();
    return lines;
}

QString refusalLine(fakehid::DeviceId node)
{
    return QStringLiteral("node %1 : accès refusé ; ").arg(QString::fromStdString(fakehid::pathOf(node)));
}

int linesNaming(const QByteArray &output, fakehid::DeviceId node)
{
    return QString::fromUtf8(output).count(refusalLine(node));
}

} // namespace

class AccessTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void refusedNodeIsNamedOnce();
    void accessComesBack_data();
    void accessComesBack();
    void connectedNodeTakenByAnotherProgram();
    void openableNodeBesideRefusedOneIsUsed();
};

void AccessTest::init()
{
    resetSharedState();
}

void AccessTest::refusedNodeIsNamedOnce()
{
    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    fakehid::setOpenRefused(node, true);
    CapturedOutput output;

    for (int i = 0; i < TicksWhileRefused; ++i)
        tickAndRefresh(window);

    // The status holds the message and does not alternate with the waiting one.
    QCOMPARE(history(window), (QStringList{Refused, Waiting, QString(), QString()}));
    QCOMPARE(linesNaming(output.text(), node), 1);
    QVERIFY2(output.text().contains(AccessRefusedFix), output.text().constData());
    QCOMPARE(fakehid::openCount(), 0);
    QCOMPARE(fakehid::writeCount(), 0);
    QCOMPARE(fakehid::readCount(), 0);
    QVERIFY(fakehid::node(node).receivedReports().empty());
    QVERIFY(waitingForNode);
    QVERIFY(!nodeConnected);
    QVERIFY(!dataReady);
}

void AccessTest::accessComesBack_data()
{
    QTest::addColumn<bool>("replugged");

    // The udev rule applied while the node stays plugged in (udevadm trigger),
    // or the node plugged in again once it can be opened.
    QTest::newRow("rule applied in place") << false;
    QTest::newRow("plugged in again") << true;
}

void AccessTest::accessComesBack()
{
    QFETCH(bool, replugged);

    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    fakehid::setOpenRefused(node, true);
    CapturedOutput output;
    tickAndRefresh(window);
    QCOMPARE(statusText, Refused);

    if (replugged) {
        fakehid::unplug(node);
        tickAndRefresh(window);
        QCOMPARE(statusText, Waiting);
        fakehid::setPresenceSchedule(node, {true});
    }
    fakehid::setOpenRefused(node, false);
    tickAndRefresh(window);

    QCOMPARE(statusText, Connected);
    QCOMPARE(history(window).first(), Connected);
    QVERIFY(nodeConnected);
    QCOMPARE(window.findChild<QLineEdit *>("ipa4")->text(), QStringLiteral("50"));
    QCOMPARE(window.findChild<QLabel *>("maxUnivers")->text(), QStringLiteral("16"));
    QCOMPARE(linesNaming(output.text(), node), 1);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(1));

    // Refused again after a replug: named again, once.
    fakehid::unplug(node);
    tickAndRefresh(window);
    tickAndRefresh(window);
    fakehid::setOpenRefused(node, true);
    fakehid::setPresenceSchedule(node, {true});
    tickAndRefresh(window);
    tickAndRefresh(window);
    QCOMPARE(statusText, Refused);
    QCOMPARE(linesNaming(output.text(), node), 2);
}

void AccessTest::connectedNodeTakenByAnotherProgram()
{
    MainWindow window;
    const fakehid::DeviceId node = fakehid::plug(sampleConfiguration());
    tickAndRefresh(window);
    QVERIFY(nodeConnected);
    CapturedOutput output;

    fakehid::setOpenRefused(node, true);
    tickAndRefresh(window); // the connected check loses it
    QVERIFY(!nodeConnected);
    tickAndRefresh(window);

    QCOMPARE(statusText, Refused);
    QCOMPARE(history(window).first(), Refused);
    QCOMPARE(linesNaming(output.text(), node), 1);
    QCOMPARE(fakehid::node(node).receivedReports().size(), std::size_t(1));
}

void AccessTest::openableNodeBesideRefusedOneIsUsed()
{
    MainWindow window;
    const fakehid::DeviceId refused = fakehid::plug(NodeReport{});
    fakehid::setOpenRefused(refused, true);
    const fakehid::DeviceId usable = fakehid::plug(sampleConfiguration());
    CapturedOutput output;

    tickAndRefresh(window);

    QCOMPARE(statusText, Connected);
    QCOMPARE(window.findChild<QLineEdit *>("ipa4")->text(), QStringLiteral("50"));
    QCOMPARE(fakehid::node(usable).receivedReports().size(), std::size_t(1));
    QVERIFY(fakehid::node(refused).receivedReports().empty());
    QCOMPARE(linesNaming(output.text(), refused), 1);
}

QTEST_MAIN(AccessTest)
#include "tst_access.moc"

// What two simulated nodes sharing one port answer, by where a poll was sent:
// on loopback only, where Linux serves the whole of 127.0.0.0/8 and
// 127.255.255.255 is a broadcast.

#include "net/artnetpackets.h"
#include "sim/artnetresponder.h"
#include "testcommon.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <algorithm>

namespace {

NodeReport withMask(const QHostAddress &mask)
{
    NodeReport configuration{};
    const quint32 bits = mask.toIPv4Address();
    for (std::size_t octet = 0; octet < Report::IpOctets; ++octet)
        configuration[Report::IpMask + octet] =
            static_cast<std::uint8_t>(bits >> (8 * (Report::IpOctets - 1 - octet)));
    return configuration;
}

} // namespace

class TestNetResponder : public QObject
{
    Q_OBJECT

private slots:
    void answersWhatReachesIt_data()
    {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("answering");

        const QStringList none;
        const QStringList both{"127.0.0.2", "127.0.0.3"};
        QTest::newRow("unicast to one") << "255.0.0.0" << "127.0.0.2" << QStringList{"127.0.0.2"};
        QTest::newRow("its network's broadcast") << "255.0.0.0" << "127.255.255.255" << both;
        QTest::newRow("another address") << "255.0.0.0" << "127.0.0.4" << none;
        QTest::newRow("another network's broadcast") << "255.255.255.0" << "127.255.255.255" << none;
    }

    // Each answer comes from the node's own address, whichever address the
    // poll was sent to.
    void answersWhatReachesIt()
    {
        if (runsUnderWine())
            QSKIP("Wine answers from 127.0.0.1 whatever loopback address a socket is bound to");
        QFETCH(QString, mask);
        QFETCH(QString, destination);
        QFETCH(QStringList, answering);

        ArtNetResponder first;
        ArtNetResponder second;
        first.setConfiguration(withMask(QHostAddress(mask)));
        second.setConfiguration(withMask(QHostAddress(mask)));
        QVERIFY2(first.start(QHostAddress("127.0.0.2"), 0), qPrintable(first.errorText()));
        QVERIFY2(second.start(QHostAddress("127.0.0.3"), first.port()), qPrintable(second.errorText()));

        QUdpSocket controller;
        QVERIFY(controller.bind(QHostAddress(QHostAddress::LocalHost), 0));
        QCOMPARE(controller.writeDatagram(ArtNet::encodePoll(), QHostAddress(destination), first.port()),
                 qint64(ArtNet::encodePoll().size()));

        QStringList heard;
        const auto repliesFrom = [&] {
            while (controller.hasPendingDatagrams())
                heard << controller.receiveDatagram().senderAddress().toString();
            std::sort(heard.begin(), heard.end());
            return heard;
        };
        QTRY_COMPARE(repliesFrom(), answering);
        QTRY_VERIFY(first.pollsAnswered() + first.pollsSetAside() + second.pollsAnswered()
                        + second.pollsSetAside()
                    > 0);
        QCOMPARE(first.pollsAnswered() + second.pollsAnswered(), answering.size());
    }
};

QTEST_GUILESS_MAIN(TestNetResponder)
#include "tst_netresponder.moc"

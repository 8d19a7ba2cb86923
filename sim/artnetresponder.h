#pragma once

#include "net/artnetpackets.h"
#include "protocol/nodereport.h"

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

#include <array>
#include <vector>

// The network side of a simulated node: answers ArtPoll from one address and
// port with the universes of a configuration's patch and offset, and records
// the ArtDmx it receives. Used by the virtual node, the demo and the tests.
//
// Universe of a patch slot: its number plus the offset, taken as the
// port-address (slots holding 0 are unused). Four ports per reply: a node
// with more universes, or with universes in several sub-nets, answers with
// several replies, bind index 1, 2, ...
class ArtNetResponder : public QObject
{
    Q_OBJECT

public:
    using Mac = std::array<std::uint8_t, ArtNet::MacSize>;

    explicit ArtNetResponder(QObject *parent = nullptr);

    // What the replies say. The IP field is the bound address.
    void setConfiguration(const NodeReport &configuration);
    void setMac(const Mac &mac) { macAddress = mac; }
    void setShortName(const QByteArray &name) { shortName = name; }
    void setFirmware(std::uint16_t version) { firmware = version; }

    // Binds `address`:`port` (0: a free port). False, with errorText(), when
    // it cannot.
    bool start(const QHostAddress &address, quint16 port = ArtNet::Port);
    void stop();
    QString errorText() const { return error; }
    QHostAddress address() const;
    quint16 port() const;

    // The port-addresses the replies report, in patch order.
    std::vector<int> universes() const;
    // The replies to one poll, one per group of ports (one without ports for
    // a node without universes).
    std::vector<ArtNet::PollReply> replies() const;

    // Every ArtDmx received since start, in order.
    const std::vector<ArtNet::DmxPacket> &receivedDmx() const { return dmx; }
    void clearReceivedDmx() { dmx.clear(); }
    int pollsAnswered() const { return polls; }

signals:
    void pollAnswered();
    void dmxReceived(const ArtNet::DmxPacket &packet);

private slots:
    void readPendingDatagrams();

private:
    void answerPoll(const QHostAddress &to, quint16 port);

    QUdpSocket socket;
    NodeReport configuration{};
    Mac macAddress{};
    QByteArray shortName = "Node LED virtuel";
    std::uint16_t firmware = 0x0100;
    std::vector<ArtNet::DmxPacket> dmx;
    int polls = 0;
    QString error;
};

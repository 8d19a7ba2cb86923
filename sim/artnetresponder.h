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
// As a node on a network does, it hears what is sent to its address and to
// its network's directed broadcast (its address with the configuration's
// mask), and sets aside what is sent to another address that reaches it. Two
// sockets share the port with others (other simulated nodes, the tool): one
// bound to the address, which takes the unicasts and sends the replies from
// that address, and one bound to any address, which takes the broadcasts.
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

    // What the replies say, and the network mask. The IP field is the bound
    // address.
    void setConfiguration(const NodeReport &configuration);
    void setMac(const Mac &mac) { macAddress = mac; }
    void setShortName(const QByteArray &name) { shortName = name; }
    void setFirmware(std::uint16_t version) { firmware = version; }

    // Binds `address`:`port` (0: a free port) and any address on that port.
    // False, with errorText(), when it cannot.
    bool start(const QHostAddress &address, quint16 port = ArtNet::Port);
    void stop();
    QString errorText() const { return error; }
    QHostAddress address() const;
    quint16 port() const;
    // The directed broadcast of its network: the address with the
    // configuration's mask.
    QHostAddress broadcast() const;

    // The port-addresses the replies report, in patch order.
    std::vector<int> universes() const;
    // The replies to one poll, one per group of ports (one without ports for
    // a node without universes).
    std::vector<ArtNet::PollReply> replies() const;

    // Every ArtDmx received since start, in order.
    const std::vector<ArtNet::DmxPacket> &receivedDmx() const { return dmx; }
    void clearReceivedDmx() { dmx.clear(); }
    int pollsAnswered() const { return polls; }
    // Polls that reached it but were sent to another address.
    int pollsSetAside() const { return setAside; }

signals:
    void pollAnswered();
    void dmxReceived(const ArtNet::DmxPacket &packet);

private slots:
    void readUnicasts();
    void readBroadcasts();

private:
    bool bindShared(QUdpSocket &socket, const QHostAddress &address, quint16 port);
    void readPendingDatagrams(QUdpSocket &socket);
    bool isForThisNode(const QHostAddress &destination) const;
    void answerPoll(const QHostAddress &to, quint16 port);

    QUdpSocket socket;          // its address: unicasts in, replies out
    QUdpSocket anyAddressSocket; // broadcasts in
    NodeReport configuration{};
    Mac macAddress{};
    QByteArray shortName = "Node LED virtuel";
    std::uint16_t firmware = 0x0100;
    std::vector<ArtNet::DmxPacket> dmx;
    int polls = 0;
    int setAside = 0;
    QString error;
};

#include "net/nodediscovery.h"

#include "net/networkinterfaces.h"
#include "net/sharedport.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr auto SharedBind = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;

} // namespace

NodeDiscovery::NodeDiscovery(Clock &clock, QObject *parent)
    : QObject(parent), clock(clock), table(PollIntervalMs * PollsBeforeGone)
{
    pollTimer.setInterval(PollIntervalMs);
    connect(&pollTimer, &QTimer::timeout, this, &NodeDiscovery::pollNow);
}

NodeDiscovery::~NodeDiscovery() = default;

void NodeDiscovery::setBindAddress(const QHostAddress &address, quint16 port)
{
    bindAddress = address;
    bindPort = port;
}

void NodeDiscovery::setTargets(const std::vector<Target> &given)
{
    targets = given;
}

void NodeDiscovery::addTarget(const Target &target)
{
    targets.push_back(target);
}

bool NodeDiscovery::start()
{
    stop();
    if (!bindSocket())
        return false;
    setError(QString());
    pollNow();
    if (pollsByTimer)
        pollTimer.start();
    return true;
}

bool NodeDiscovery::bindSocket()
{
    const bool shared = udpPortHeldElsewhere(bindAddress, bindPort);
    socket = new QUdpSocket(this);
    if (!socket->bind(bindAddress, bindPort, SharedBind)) {
        setError(socket->error() == QAbstractSocket::AddressInUseError
                     ? tr("Le port UDP %1 ne peut pas être ouvert (%2) : un autre programme le "
                          "tient sans le partager. Fermez le logiciel d'éclairage qui l'utilise, "
                          "puis recommencez.")
                           .arg(bindPort)
                           .arg(socket->errorString())
                     : tr("Le port UDP %1 ne peut pas être ouvert : %2")
                           .arg(bindPort)
                           .arg(socket->errorString()));
        delete socket;
        socket = nullptr;
        return false;
    }
    portWarning = shared ? sharedPortNote(bindPort) : QString();
    connect(socket, &QUdpSocket::readyRead, this, &NodeDiscovery::readPendingDatagrams);
    return true;
}

void NodeDiscovery::stop()
{
    pollTimer.stop();
    delete socket;
    socket = nullptr;
}

bool NodeDiscovery::isRunning() const
{
    return socket != nullptr;
}

quint16 NodeDiscovery::boundPort() const
{
    return socket ? socket->localPort() : 0;
}

QString NodeDiscovery::networkAdvice(const QHostAddress &nodeAddress) const
{
    return targets.empty() ? missingNetworkAdvice(upInterfaceAddresses(), nodeAddress) : QString();
}

void NodeDiscovery::clearNodes()
{
    table.clear();
    emit nodesChanged();
}

std::vector<NodeDiscovery::Target> NodeDiscovery::pollTargets() const
{
    if (!targets.empty())
        return targets;
    std::vector<Target> broadcasts;
    for (const QHostAddress &address : pollBroadcasts(upInterfaceAddresses()))
        broadcasts.push_back({address, ArtNet::Port});
    return broadcasts;
}

void NodeDiscovery::pollNow()
{
    if (!socket)
        return;
    const QByteArray poll = ArtNet::encodePoll();
    for (const Target &target : pollTargets())
        socket->writeDatagram(poll, target.address, target.port);
    if (table.expire(clock.elapsedMs()))
        emit nodesChanged();
}

void NodeDiscovery::readPendingDatagrams()
{
    bool changed = false;
    while (socket && socket->hasPendingDatagrams()) {
        const qint64 size = socket->pendingDatagramSize();
        QByteArray datagram(static_cast<int>(std::max<qint64>(size, 0)), '\0');
        QHostAddress from;
        const qint64 read = socket->readDatagram(datagram.data(), datagram.size(), &from);
        if (read < 0)
            break;
        datagram.truncate(static_cast<int>(read));
        changed = handleDatagram(datagram, from) || changed;
    }
    if (changed)
        emit nodesChanged();
}

bool NodeDiscovery::handleDatagram(const QByteArray &datagram, const QHostAddress &from)
{
    // Polls, ours or another controller's, and every other packet are not
    // nodes.
    ArtNet::PollReply reply;
    if (!ArtNet::decodePollReply(datagram, reply))
        return false;
    return table.record(QHostAddress(from.toIPv4Address()), reply, clock.elapsedMs());
}

void NodeDiscovery::setError(const QString &text)
{
    if (text == bindError)
        return;
    bindError = text;
    emit errorChanged();
}

#include "net/nodediscovery.h"

#include "app/platform.h"
#include "net/networkinterfaces.h"
#include "net/sharedport.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr auto SharedBind = QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint;
constexpr int BytesPerKio = 1024;
// More than any Art-Net packet read here holds (an ArtPollReply has 239
// bytes); what a longer datagram carries past it is not read.
constexpr int LargestDatagram = 2048;

QString kio(int bytes)
{
    return QString::number(bytes / BytesPerKio);
}

// "1 datagramme perdu", "3 datagrammes perdus"
QString counted(long long count, const QString &one, const QString &several)
{
    return QStringLiteral("%1 %2").arg(count).arg(count > 1 ? several : one);
}

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
    requestReceiveBuffer();
    connect(socket, &QUdpSocket::readyRead, this, &NodeDiscovery::readPendingDatagrams);
    return true;
}

// The system may grant less (Linux caps it at net.core.rmem_max, and
// reports twice what it grants, its own bookkeeping included).
void NodeDiscovery::requestReceiveBuffer()
{
    socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, ReceiveBufferBytes);
    bufferGranted = socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    droppedWhenStopped = -1;
}

void NodeDiscovery::stop()
{
    pollTimer.stop();
    if (socket)
        droppedWhenStopped = droppedSoFar();
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

bool NodeDiscovery::hasPendingDatagrams() const
{
    return socket && socket->hasPendingDatagrams();
}

long long NodeDiscovery::droppedSoFar() const
{
    return socket ? datagramsDroppedBySystem(socket->socketDescriptor()) : droppedWhenStopped;
}

NodeDiscovery::Reception NodeDiscovery::reception() const
{
    Reception now;
    now.bufferAsked = ReceiveBufferBytes;
    now.bufferGranted = bufferGranted;
    now.droppedBySystem = droppedSoFar();
    now.refusedReplies = table.refusedReplies();
    return now;
}

QString NodeDiscovery::receptionSummary() const
{
    const Reception now = reception();
    const QString dropped =
        now.droppedBySystem < 0
            ? tr("pertes non comptées par le système")
            : counted(now.droppedBySystem, tr("datagramme perdu"), tr("datagrammes perdus"));
    return tr("Réception Art-Net : tampon de %1 Kio accordé par le système (%2 Kio demandés pour "
              "%3 nodes), %4, %5 (liste pleine).")
        .arg(kio(now.bufferGranted), kio(now.bufferAsked))
        .arg(ReceiveBufferNodes)
        .arg(dropped,
             counted(static_cast<long long>(now.refusedReplies), tr("réponse ignorée"),
                     tr("réponses ignorées")));
}

QStringList NodeDiscovery::receptionWarnings() const
{
    const Reception now = reception();
    QStringList warnings;
    if (now.bufferGranted > 0 && now.bufferGranted < now.bufferAsked)
        warnings << tr("Le système n'accorde que %1 Kio de tampon de réception (%2 Kio demandés "
                       "pour %3 nodes) : les réponses d'un grand réseau arrivées ensemble peuvent "
                       "se perdre. Sous Linux, l'administrateur relève la limite par "
                       "« sysctl -w net.core.rmem_max=%4 ».")
                        .arg(kio(now.bufferGranted), kio(now.bufferAsked))
                        .arg(ReceiveBufferNodes)
                        .arg(ReceiveBufferBytes);
    if (now.droppedBySystem > 0)
        warnings << tr("Le système a perdu %1 sur le port UDP %2, son tampon de "
                       "réception plein : des nodes peuvent manquer à la liste.")
                        .arg(counted(now.droppedBySystem, tr("datagramme"), tr("datagrammes")))
                        .arg(boundPort() != 0 ? boundPort() : bindPort);
    if (now.refusedReplies > 0)
        warnings << tr("Liste des nodes pleine (%1 réponses) : réponses de nodes encore inconnus "
                       "ignorées (%2) ; un appareil inonde peut-être le réseau de réponses.")
                        .arg(table.capacity())
                        .arg(now.refusedReplies);
    return warnings;
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

// At most DatagramsPerTurn: the socket tells again at the next turn when
// some are left.
void NodeDiscovery::readPendingDatagrams()
{
    bool changed = false;
    char buffer[LargestDatagram];
    for (int read = 0; read < DatagramsPerTurn && socket && socket->hasPendingDatagrams(); ++read) {
        QHostAddress from;
        const qint64 length = socket->readDatagram(buffer, sizeof buffer, &from);
        if (length < 0)
            break;
        changed = handleDatagram(QByteArray(buffer, static_cast<int>(length)), from) || changed;
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

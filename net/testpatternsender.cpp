#include "net/testpatternsender.h"

#include "net/artnetpackets.h"
#include "net/nodetext.h"
#include "net/testpattern.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// Each universe once, in the order first given.
std::vector<int> eachOnce(const std::vector<int> &portAddresses)
{
    std::vector<int> unique;
    for (const int portAddress : portAddresses)
        if (std::find(unique.begin(), unique.end(), portAddress) == unique.end())
            unique.push_back(portAddress);
    return unique;
}

} // namespace

TestPatternSender::TestPatternSender(Clock &clock, QObject *parent)
    : QObject(parent), clock(clock)
{
    frameTimer.setInterval(FrameIntervalMs);
    frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer, &QTimer::timeout, this, &TestPatternSender::sendFrame);
    send = [this](const QByteArray &datagram, const QHostAddress &to, quint16 port,
                  QString &failure) { return sendThroughSocket(datagram, to, port, failure); };
}

TestPatternSender::~TestPatternSender()
{
    stop();
}

void TestPatternSender::setDatagramSend(DatagramSend given)
{
    send = std::move(given);
}

bool TestPatternSender::start(const QHostAddress &node, const std::vector<int> &portAddresses,
                              quint16 port)
{
    stop();
    const std::vector<int> given = eachOnce(portAddresses);
    if (given.empty()) {
        error = tr("Le node %1 ne déclare aucun univers en sortie : rien à tester.")
                    .arg(node.toString());
        return false;
    }
    if (given.size() > static_cast<std::size_t>(MaximumUniverses)) {
        error = tr("%1 univers pour %2 : la mire en allume %3 au plus à la fois.")
                    .arg(given.size())
                    .arg(node.toString())
                    .arg(MaximumUniverses);
        return false;
    }
    error.clear();
    leftLit.clear();
    target = node;
    targetPort = port;
    universes = given;
    frameNumber = 0;
    running = true;
    waitForFrameSpacing(); // after a run that has just ended black
    startMs = clock.elapsedMs();
    if (sendToAll(false).size() == universes.size()) {
        running = false;
        error = tr("La mire ne peut pas être envoyée à %1 : %2").arg(node.toString(), sendFailure);
        return false;
    }
    ++frameNumber;
    if (framesByTimer)
        frameTimer.start();
    return true;
}

void TestPatternSender::stop()
{
    if (!running)
        return;
    frameTimer.stop();
    running = false;
    waitForFrameSpacing();
    leftLit = sendToAll(true);
    emit finished();
}

QString TestPatternSender::endText() const
{
    if (leftLit.empty())
        return tr("noir envoyé");
    return tr("le noir n'a pas pu être envoyé à %1 (%2) : univers %3, qui peuvent rester allumés")
        .arg(target.toString(), sendFailure, universesText(leftLit));
}

void TestPatternSender::setDurationMs(qint64 milliseconds)
{
    durationMs = std::clamp<qint64>(milliseconds, 0, MaximumDurationMs);
}

qint64 TestPatternSender::msUntilNextFrame() const
{
    const qint64 now = clock.elapsedMs();
    const qint64 end = startMs + durationMs;
    const qint64 next = lastFrameMs ? *lastFrameMs + FrameIntervalMs : now;
    return std::max<qint64>(0, std::min(next, end) - now);
}

void TestPatternSender::sendFrame()
{
    if (!running)
        return;
    if (clock.elapsedMs() - startMs >= durationMs) {
        stop();
        return;
    }
    // A late tick followed by one on time: the second waits for the next.
    if (!frameMayGo())
        return;
    sendToAll(false);
    ++frameNumber;
}

bool TestPatternSender::frameMayGo() const
{
    return !lastFrameMs || clock.elapsedMs() - *lastFrameMs > MinimumFrameSpacingMs;
}

void TestPatternSender::waitForFrameSpacing()
{
    if (frameMayGo())
        return;
    clock.sleepMs(static_cast<int>(*lastFrameMs + MinimumFrameSpacingMs + 1 - clock.elapsedMs()));
}

std::vector<int> TestPatternSender::sendToAll(bool black)
{
    sequence = ArtNet::nextSequence(sequence);
    lastFrameMs = clock.elapsedMs();
    std::vector<int> failed;
    for (std::size_t i = 0; i < universes.size(); ++i) {
        ArtNet::DmxPacket packet;
        packet.sequence = sequence;
        packet.portAddress = universes[i];
        packet.data = black ? TestPattern::blackFrame()
                            : TestPattern::frame(static_cast<int>(i), frameNumber);
        QString failure;
        if (!send(ArtNet::encodeDmx(packet), target, targetPort, failure)) {
            failed.push_back(universes[i]);
            sendFailure = failure;
        }
    }
    return failed;
}

bool TestPatternSender::sendThroughSocket(const QByteArray &datagram, const QHostAddress &to,
                                          quint16 port, QString &failure)
{
    // A port of its own, chosen by the system.
    if (socket.state() != QAbstractSocket::BoundState
        && !socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        failure = socket.errorString();
        return false;
    }
    if (socket.writeDatagram(datagram, to, port) == datagram.size())
        return true;
    failure = socket.errorString();
    return false;
}

#include "net/testpatternsender.h"

#include "net/artnetpackets.h"
#include "net/testpattern.h"

#include <QCoreApplication>

#include <algorithm>

TestPatternSender::TestPatternSender(Clock &clock, QObject *parent)
    : QObject(parent), clock(clock)
{
    frameTimer.setInterval(FrameIntervalMs);
    frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer, &QTimer::timeout, this, &TestPatternSender::sendFrame);
}

TestPatternSender::~TestPatternSender()
{
    stop();
}

bool TestPatternSender::start(const QHostAddress &node, const std::vector<int> &portAddresses,
                              quint16 port)
{
    stop();
    if (portAddresses.empty()) {
        error = QCoreApplication::translate("TestPatternSender",
                                            "Le node %1 ne déclare aucun univers en sortie : "
                                            "rien à tester.")
                    .arg(node.toString());
        return false;
    }
    error.clear();
    target = node;
    targetPort = port;
    universes = portAddresses;
    frameNumber = 0;
    startMs = clock.elapsedMs();
    running = true;
    sendFrame();
    if (running && framesByTimer)
        frameTimer.start();
    return true;
}

void TestPatternSender::stop()
{
    if (!running)
        return;
    frameTimer.stop();
    running = false;
    sendToAll(true);
    emit finished();
}

void TestPatternSender::setDurationMs(qint64 milliseconds)
{
    durationMs = std::clamp<qint64>(milliseconds, 0, MaximumDurationMs);
}

void TestPatternSender::sendFrame()
{
    if (!running)
        return;
    if (clock.elapsedMs() - startMs >= durationMs) {
        stop();
        return;
    }
    sendToAll(false);
    ++frameNumber;
}

void TestPatternSender::sendToAll(bool black)
{
    sequence = ArtNet::nextSequence(sequence);
    for (std::size_t i = 0; i < universes.size(); ++i) {
        ArtNet::DmxPacket packet;
        packet.sequence = sequence;
        packet.portAddress = universes[i];
        packet.data = black ? TestPattern::blackFrame()
                            : TestPattern::frame(static_cast<int>(i), frameNumber);
        socket.writeDatagram(ArtNet::encodeDmx(packet), target, targetPort);
    }
}

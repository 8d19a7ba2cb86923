#pragma once

#include "link/clock.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <vector>

// Sends the test pattern to one node: ArtDmx unicast to its address, to the
// universes (port-addresses) the node itself reports, at most
// FramesPerSecond frames a second per universe. Stops on stop(), on
// destruction or after MaximumDurationMs, always ending with a black frame
// on every universe. Sends nothing unless started.
class TestPatternSender : public QObject
{
    Q_OBJECT

public:
    static constexpr int FramesPerSecond = 40;
    static constexpr int FrameIntervalMs = 1000 / FramesPerSecond;
    static constexpr qint64 MaximumDurationMs = 60000;

    // `clock` measures the run's length; it must outlive the sender.
    explicit TestPatternSender(Clock &clock, QObject *parent = nullptr);
    ~TestPatternSender() override; // ends with the black frame when running

    // Starts sending to `node`:`port` on `portAddresses`. False, with
    // errorText() saying why (in French), when there is no universe or the
    // socket cannot send. A running pattern is stopped first.
    bool start(const QHostAddress &node, const std::vector<int> &portAddresses,
               quint16 port = 6454);
    // Sends the black frame and stops; nothing when not running.
    void stop();
    bool isRunning() const { return running; }
    QString errorText() const { return error; }

    // True (the default): a timer sends every FrameIntervalMs. False: the
    // caller calls sendFrame() on its own clock (the console tool's loop).
    void setFramesByTimer(bool byTimer) { framesByTimer = byTimer; }

    // Shortens the run (tests, `test --seconds`); at most MaximumDurationMs.
    void setDurationMs(qint64 milliseconds);
    long long framesSent() const { return frameNumber; }

public slots:
    // Sends the next frame to every universe, or stops when the run's time
    // is over; the timer calls it, tests call it.
    void sendFrame();

signals:
    // After the black frame, however the run ended.
    void finished();

private:
    void sendToAll(bool black);

    Clock &clock;
    QUdpSocket socket;
    QTimer frameTimer;
    QHostAddress target;
    quint16 targetPort = 6454;
    std::vector<int> universes;
    qint64 durationMs = MaximumDurationMs;
    qint64 startMs = 0;
    long long frameNumber = 0;
    quint8 sequence = 0;
    bool running = false;
    bool framesByTimer = true;
    QString error;
};

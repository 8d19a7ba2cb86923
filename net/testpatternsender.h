#pragma once

#include "link/clock.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <optional>
#include <vector>

// Sends the test pattern to one node: ArtDmx unicast to its address, from a
// port of its own (never Art-Net's, which a console on this computer may
// listen on), to the universes (port-addresses) given, one stream each
// however often the list names one, at most FramesPerSecond frames a second.
// Frames come more than MinimumFrameSpacingMs apart on the steady clock,
// however late a tick comes. Stops on stop(), on destruction or after
// MaximumDurationMs, always ending with a black frame on every universe,
// and tells whether each black frame went out. Sends nothing unless started.
class TestPatternSender : public QObject
{
    Q_OBJECT

public:
    static constexpr int FramesPerSecond = 40;
    static constexpr int FrameIntervalMs = 1000 / FramesPerSecond;
    // DMX receivers take 44 frames a second (22.7 ms apart) at most. Two
    // frames are more than this many whole milliseconds apart, so at least
    // this long however the milliseconds fall.
    static constexpr int MinimumFrameSpacingMs = 22;
    static constexpr qint64 MaximumDurationMs = 60000;
    // More would take a whole network's bandwidth for one test.
    static constexpr int MaximumUniverses = 64;

    // Sends one datagram: false, with the system's words in `failure`, when
    // it did not go out whole.
    using DatagramSend = std::function<bool(const QByteArray &datagram, const QHostAddress &to,
                                            quint16 port, QString &failure)>;

    // `clock` paces the frames and measures the run; it must outlive the
    // sender.
    explicit TestPatternSender(Clock &clock, QObject *parent = nullptr);
    ~TestPatternSender() override; // ends with the black frame when running

    // Starts sending to `node`:`port` on `portAddresses`. False, with
    // errorText() saying why (in French), when there is no universe or too
    // many, or when not one frame can be sent. A running pattern is stopped
    // first.
    bool start(const QHostAddress &node, const std::vector<int> &portAddresses,
               quint16 port = 6454);
    // Sends the black frame and stops; nothing when not running.
    void stop();
    bool isRunning() const { return running; }
    QString errorText() const { return error; }

    // True (the default): a timer ticks every FrameIntervalMs. False: the
    // caller calls sendFrame() after msUntilNextFrame() (the console tool's
    // loop).
    void setFramesByTimer(bool byTimer) { framesByTimer = byTimer; }
    // How long until the next frame is due, or the run's end; 0: now.
    qint64 msUntilNextFrame() const;

    // Shortens the run (tests, `test --seconds`); at most MaximumDurationMs.
    void setDurationMs(qint64 milliseconds);
    long long framesSent() const { return frameNumber; }
    // The universes of the run, each once.
    const std::vector<int> &universesSent() const { return universes; }

    // Sends through `send` instead of the sender's socket: tests make sends
    // fail as a network gone away does.
    void setDatagramSend(DatagramSend send);

    // How the last run ended: the universes whose black frame did not go
    // out, which may still be lit; empty when every one went black.
    const std::vector<int> &universesLeftLit() const { return leftLit; }
    // In French: "noir envoyé", or which universes may still be lit and why.
    QString endText() const;

public slots:
    // Sends the next frame to every universe when it is due, or stops when
    // the run's time is over; the timer calls it, tests call it.
    void sendFrame();

signals:
    // After the black frame, however the run ended.
    void finished();

private:
    // Sends one frame, or black, to every universe; the universes whose
    // datagram did not go out.
    std::vector<int> sendToAll(bool black);
    bool frameMayGo() const;
    void waitForFrameSpacing();
    bool sendThroughSocket(const QByteArray &datagram, const QHostAddress &to, quint16 port,
                           QString &failure);

    Clock &clock;
    QUdpSocket socket;
    QTimer frameTimer;
    DatagramSend send;
    QHostAddress target;
    quint16 targetPort = 6454;
    std::vector<int> universes;
    std::vector<int> leftLit;
    qint64 durationMs = MaximumDurationMs;
    qint64 startMs = 0;
    std::optional<qint64> lastFrameMs; // kept from run to run
    long long frameNumber = 0;
    quint8 sequence = 0;
    bool running = false;
    bool framesByTimer = true;
    QString error;
    QString sendFailure; // the system's words for the last send that failed
};

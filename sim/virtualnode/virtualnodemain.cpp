// nodeconfig-virtual-node: a node without hardware. It publishes the
// simulated node as a USB HID device through Linux's /dev/uhid, so that the
// real nodeconfig (or anything on hidapi) can find and configure it. Its
// network side answers the Art-Net polls sent to the address its
// configuration holds or to that network's broadcast (with the
// configuration's mask), from that address, and reports the ArtDmx it
// receives.

#include "app/version.h"
#include "sim/artnetresponder.h"
#include "sim/simulatednode.h"
#include "sim/virtualnode/uhidnode.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkInterface>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace {

constexpr char UhidPath[] = "/dev/uhid";
constexpr int PollIntervalMs = 100;
constexpr int DecimalDigits = 10;
constexpr int NibbleBits = 4;
constexpr int ExitUsage = 2;
// The size of uhid's field for it, its terminating zero included.
constexpr std::size_t MaxSerialLength = 64;

// Until told otherwise the node holds the factory set-up of a 16-universe
// node: 2.0.0.15/8, LPD6803 at 0,8 MHz, universes 1..16.
constexpr NodeReport DefaultConfiguration = {
    0, 2, 0, 0, 15, 255, 0, 0, 0, 2, 255, 255, 255, 2, 16, 16,
    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 0, 16};

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t unplugRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

void requestUnplug(int)
{
    unplugRequested = 1;
}

// A locally administered MAC of its own, so that two virtual nodes differ
// on the network as two real ones do.
constexpr std::uint8_t LocalMacFirst = 0x02;
constexpr std::uint8_t MacN = 'n';
constexpr std::uint8_t MacC = 'c';
constexpr int ByteBits = 8;

struct Options {
    NodeReport configuration = DefaultConfiguration;
    int capacity = LargeCapacity;
    std::string logPath;
    std::string serial;
    int seconds = 0; // 0: until a signal
    bool muted = false;
    std::string netAddress;   // empty: the configuration's address
    std::string netInterface; // empty: none; else its first IPv4 address
    int netPort = ArtNet::Port;
    bool network = true;
    bool usb = true;
};

void printUsage(std::FILE *out)
{
    std::fputs("Usage: nodeconfig-virtual-node [options]\n"
               "Publishes a simulated node (USB HID 1FC9:0050) through /dev/uhid until\n"
               "interrupted. Needs root or write access to /dev/uhid.\n\n"
               "  --config HEX|FILE  initial configuration: 64 bytes as hex digits\n"
               "                     (spaces and colons ignored), or a file holding them\n"
               "  --capacity 8|16    universes the node reports (default 16)\n"
               "  --log FILE         also append every line printed to FILE\n"
               "  --serial TEXT      serial number the device reports (default none)\n"
               "  --seconds N        stop after N seconds\n"
               "  --mute             take every report but never answer, as a hung node\n"
               "  --net-address IP   answer Art-Net polls at IP (default: the address the\n"
               "                     configuration holds, followed as it is rewritten)\n"
               "  --net-interface N  answer at the first IPv4 address of interface N\n"
               "  --net-port P       UDP port of the Art-Net side (default 6454), shared\n"
               "                     with other programs; the polls sent to the network's\n"
               "                     broadcast (the configuration's mask) are answered too\n"
               "  --no-network       no Art-Net side\n"
               "  --network-only     no USB device: the Art-Net side alone\n"
               "SIGUSR1 unplugs the USB device and leaves the Art-Net side running.\n"
               "  --help             show this help\n"
               "  --version          nodeconfig's version and Qt's\n",
               out);
}

std::optional<NodeReport> parseHexReport(const std::string &text)
{
    NodeReport report{};
    std::size_t nibbles = 0;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ':' || c == ',')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)) || nibbles >= 2 * Report::Size)
            return std::nullopt;
        const char digit = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const int value = std::isdigit(static_cast<unsigned char>(digit)) ? digit - '0'
                                                                          : digit - 'a' + DecimalDigits;
        std::uint8_t &byte = report[nibbles / 2];
        byte = static_cast<std::uint8_t>((byte << NibbleBits) | value);
        ++nibbles;
    }
    if (nibbles != 2 * Report::Size)
        return std::nullopt;
    return report;
}

std::optional<NodeReport> readConfiguration(const std::string &argument)
{
    std::ifstream file(argument);
    if (!file)
        return parseHexReport(argument);
    std::ostringstream content;
    content << file.rdbuf();
    return parseHexReport(content.str());
}

std::optional<int> parseCount(const char *text)
{
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 86400)
        return std::nullopt;
    return static_cast<int>(value);
}

// Returns the options, or the exit code when the program should stop now.
int parseOptions(int argc, char *argv[], Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            printUsage(stdout);
            return EXIT_SUCCESS;
        }
        if (name == "--version") {
            std::printf("%s\n", qPrintable(versionText()));
            return EXIT_SUCCESS;
        }
        if (name == "--mute" || name == "--no-network" || name == "--network-only") {
            options.muted = options.muted || name == "--mute";
            options.network = options.network && name != "--no-network";
            options.usb = options.usb && name != "--network-only";
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "nodeconfig-virtual-node: unknown option or missing value: %s\n",
                         name.c_str());
            printUsage(stderr);
            return ExitUsage;
        }
        const char *const value = argv[++i];
        if (name == "--config") {
            const std::optional<NodeReport> configuration = readConfiguration(value);
            if (!configuration) {
                std::fprintf(stderr, "nodeconfig-virtual-node: --config needs 64 hex bytes\n");
                return ExitUsage;
            }
            options.configuration = *configuration;
        } else if (name == "--capacity") {
            const std::optional<int> capacity = parseCount(value);
            if (capacity != SmallCapacity && capacity != LargeCapacity) {
                std::fprintf(stderr, "nodeconfig-virtual-node: --capacity is 8 or 16\n");
                return ExitUsage;
            }
            options.capacity = *capacity;
        } else if (name == "--log") {
            options.logPath = value;
        } else if (name == "--serial") {
            options.serial = value;
            if (options.serial.size() >= MaxSerialLength) {
                std::fprintf(stderr, "nodeconfig-virtual-node: --serial takes at most %zu bytes\n",
                             MaxSerialLength - 1);
                return ExitUsage;
            }
        } else if (name == "--seconds") {
            const std::optional<int> seconds = parseCount(value);
            if (!seconds) {
                std::fprintf(stderr, "nodeconfig-virtual-node: --seconds needs a number\n");
                return ExitUsage;
            }
            options.seconds = *seconds;
        } else if (name == "--net-address") {
            options.netAddress = value;
        } else if (name == "--net-interface") {
            options.netInterface = value;
        } else if (name == "--net-port") {
            const std::optional<int> port = parseCount(value);
            if (!port || *port > 0xFFFF) {
                std::fprintf(stderr, "nodeconfig-virtual-node: --net-port needs a port number\n");
                return ExitUsage;
            }
            options.netPort = *port;
        } else {
            std::fprintf(stderr, "nodeconfig-virtual-node: unknown option: %s\n", name.c_str());
            printUsage(stderr);
            return ExitUsage;
        }
    }
    return -1;
}

void say(std::FILE *log, const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (log != nullptr) {
        std::fprintf(log, "%s\n", line.c_str());
        std::fflush(log);
    }
}

QHostAddress configuredAddress(const NodeReport &configuration)
{
    quint32 address = 0;
    for (std::size_t octet = 0; octet < Report::IpOctets; ++octet)
        address = address << 8 | configuration[Report::IpAddress + octet];
    return QHostAddress(address);
}

QHostAddress interfaceAddress(const std::string &name)
{
    const QNetworkInterface interface = QNetworkInterface::interfaceFromName(QString::fromStdString(name));
    for (const QNetworkAddressEntry &entry : interface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            return entry.ip();
    }
    return {};
}

// The Art-Net side: follows the configuration the USB side stores, and says
// what it answers and which universes light up or go black.
class NetworkSide
{
public:
    NetworkSide(const Options &options, std::FILE *log) : options(options), log(log)
    {
        const auto pid = static_cast<unsigned>(QCoreApplication::applicationPid());
        responder.setMac({LocalMacFirst, MacN, MacC, static_cast<std::uint8_t>(pid >> (2 * ByteBits)),
                          static_cast<std::uint8_t>(pid >> ByteBits), static_cast<std::uint8_t>(pid)});
        QObject::connect(&responder, &ArtNetResponder::dmxReceived, [this](const ArtNet::DmxPacket &packet) {
            const bool black = std::all_of(packet.data.begin(), packet.data.end(),
                                           [](char channel) { return channel == 0; });
            const auto previous = universes.find(packet.portAddress);
            const bool known = previous != universes.end();
            UniverseFrames &frames = universes[packet.portAddress];
            frames.count(Steady::now());
            if (known && frames.lit == !black)
                return;
            std::string said = black ? "black" : "lit";
            if (black && frames.frames > 1)
                said += " after " + std::to_string(frames.frames - 1) + " frames, the closest read "
                        + std::to_string(frames.closestMs()) + " ms apart";
            frames = UniverseFrames{};
            frames.lit = !black;
            frames.count(Steady::now());
            say(this->log, "artnet: dmx universe " + std::to_string(packet.portAddress) + " ("
                               + ArtNet::portAddressText(packet.portAddress).toStdString() + "): "
                               + said);
        });
        QObject::connect(&responder, &ArtNetResponder::pollAnswered, [this] {
            if (responder.pollsAnswered() == 1)
                say(this->log, "artnet: answered a poll with "
                                   + std::to_string(responder.replies().size()) + " replies");
        });
    }

    void follow(const NodeReport &configuration)
    {
        responder.setConfiguration(configuration);
        const QHostAddress wanted = address(configuration);
        if (wanted == bound)
            return;
        bound = wanted;
        if (!responder.start(wanted, static_cast<quint16>(options.netPort)))
            say(log, "artnet: " + responder.errorText().toStdString());
        else
            say(log, "artnet: answering polls at " + wanted.toString().toStdString() + ":"
                         + std::to_string(responder.port()) + ", MAC "
                         + responder.replies().front().macText().toStdString());
    }

private:
    QHostAddress address(const NodeReport &configuration) const
    {
        if (!options.netInterface.empty())
            return interfaceAddress(options.netInterface);
        if (!options.netAddress.empty())
            return QHostAddress(QString::fromStdString(options.netAddress));
        return configuredAddress(configuration);
    }

    const Options &options;
    std::FILE *log;
    using Steady = std::chrono::steady_clock;

    // One universe's frames since it last went lit or black: how many, and
    // the shortest time between two of them (its black one included), so
    // that a pattern sent twice or too fast shows.
    struct UniverseFrames {
        bool lit = false;
        int frames = 0;
        std::optional<Steady::time_point> lastAt;
        Steady::duration closest = Steady::duration::max();

        void count(Steady::time_point at)
        {
            if (lastAt)
                closest = std::min(closest, at - *lastAt);
            lastAt = at;
            ++frames;
        }
        long long closestMs() const
        {
            return std::chrono::duration_cast<std::chrono::milliseconds>(closest).count();
        }
    };

    ArtNetResponder responder;
    QHostAddress bound;
    std::map<int, UniverseFrames> universes;
};

// Lets the network side run for `milliseconds`.
void serviceNetwork(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void installSignalHandlers()
{
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a blocked poll returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    struct sigaction unplug {};
    unplug.sa_handler = requestUnplug;
    sigemptyset(&unplug.sa_mask);
    sigaction(SIGUSR1, &unplug, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    const int early = parseOptions(argc, argv, options);
    if (early >= 0)
        return early;

    std::FILE *log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "a");
        if (log == nullptr) {
            std::fprintf(stderr, "nodeconfig-virtual-node: %s: %s\n", options.logPath.c_str(),
                         std::strerror(errno));
            return EXIT_FAILURE;
        }
    }

    installSignalHandlers();
    SimulatedNode node(options.configuration, options.capacity);
    std::optional<NetworkSide> network;
    if (options.network)
        network.emplace(options, log);
    int status = EXIT_SUCCESS;
    {
        UhidNode device(node, log);
        device.setMuted(options.muted);
        bool usb = options.usb;
        if (usb && !device.create(UhidPath, options.serial)) {
            std::fprintf(stderr, "nodeconfig-virtual-node: %s\n", device.error().c_str());
            status = EXIT_FAILURE;
        } else {
            using Clock = std::chrono::steady_clock;
            const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.seconds);
            while (stopRequested == 0 && (options.seconds == 0 || Clock::now() < deadline)) {
                if (network) {
                    network->follow(node.configuration());
                    QCoreApplication::processEvents();
                }
                if (unplugRequested != 0 && usb) {
                    device.destroy();
                    usb = false;
                    say(log, "usb: unplugged, the network side goes on");
                }
                if (!usb) {
                    serviceNetwork(PollIntervalMs);
                    continue;
                }
                if (!device.serviceOnce(PollIntervalMs)) {
                    std::fprintf(stderr, "nodeconfig-virtual-node: %s\n", device.error().c_str());
                    status = EXIT_FAILURE;
                    break;
                }
            }
            if (usb)
                device.destroy();
        }
    }
    if (log != nullptr)
        std::fclose(log);
    return status;
}

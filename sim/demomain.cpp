// The tool linked with the simulated node instead of the system's HID
// library: one node appears about a second after start, so the whole tool
// can be tried without hardware. Its network side answers Art-Net polls on
// a loopback address, which is all the demo's network window polls: the
// demo sends nothing to a real network.

#include "app/sharedstate.h"
#include "app/startup.h"
#include "cli/informationoption.h"
#include "sim/artnetresponder.h"
#include "sim/fakehid.h"
#include "ui/mainwindow.h"

#include <QTimer>

namespace {

constexpr int PlugInDelayMs = 1000;
// Where the demo node answers; the window listens on 127.0.0.1, both on a
// port of the system's choosing, so that nothing else on the machine that
// holds Art-Net's port is disturbed.
const QHostAddress DemoNodeAddress(QStringLiteral("127.0.0.2"));
const QHostAddress DemoWindowAddress(QHostAddress::LocalHost);
constexpr quint16 AnyFreePort = 0;
constexpr int ConfigurationFollowMs = 1000;
// A locally administered address, as no maker gave it.
const ArtNetResponder::Mac DemoMac = {0x02, 0x00, 0x00, 0xC0, 0xA8, 0x32};

// 192.168.1.50/24, LPD6803 at 0,8 MHz, universes 1..16 on the two outputs.
NodeReport demoConfiguration()
{
    return {cmdRequestConfig,
            192, 168, 1, 50,
            255, 255, 255, 0,
            192, 168, 1, 255,
            static_cast<std::uint8_t>(Chip::LPD6803), 16, 16,
            1, 2, 3, 4, 5, 6, 7, 8,
            9, 10, 11, 12, 13, 14, 15, 16,
            0, static_cast<std::uint8_t>(LargeCapacity)};
}

fakehid::DeviceId demoNode = fakehid::NoDevice;

// The network side answers from the start, with the configuration the node
// holds once plugged in, followed every second: what "Envoyer" wrote shows
// in the network window at its next poll. The network window, made later,
// polls it alone.
void startNetworkSide()
{
    auto *const responder = new ArtNetResponder(mainWindow);
    responder->setConfiguration(demoConfiguration());
    responder->setMac(DemoMac);
    auto *const follow = new QTimer(responder);
    QObject::connect(follow, &QTimer::timeout, responder, [responder] {
        if (demoNode != fakehid::NoDevice)
            responder->setConfiguration(fakehid::node(demoNode).configuration());
    });
    follow->start(ConfigurationFollowMs);
    NetworkReach reach;
    reach.bindAddress = DemoWindowAddress;
    reach.bindPort = AnyFreePort;
    reach.fixed = true;
    if (responder->start(DemoNodeAddress, AnyFreePort))
        reach.targets = {{responder->address(), responder->port()}};
    else
        reach.targets = {{DemoNodeAddress, ArtNet::Port}};
    mainWindow->setNetworkReach(reach);
}

void started()
{
    // Once the window is the process's main window.
    QTimer::singleShot(0, startNetworkSide);
    QTimer::singleShot(PlugInDelayMs,
                       [] { demoNode = fakehid::plug(demoConfiguration(), LargeCapacity); });
}

} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> answered = answerInformationOption(argc, argv, demoReference()))
        return *answered;
    if (hasOption(argc, argv, Option::Guide))
        return runGuideWindow(argc, argv);
    return runMainWindow(argc, argv, started);
}

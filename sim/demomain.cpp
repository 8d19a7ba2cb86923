// The tool linked with the simulated node instead of the system's HID
// library: one node appears about a second after start, so the whole tool
// can be tried without hardware.

#include "app/startup.h"
#include "sim/fakehid.h"

#include <QTimer>

namespace {

constexpr int PlugInDelayMs = 1000;

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

void plugNodeLater()
{
    QTimer::singleShot(PlugInDelayMs, [] { fakehid::plug(demoConfiguration(), LargeCapacity); });
}

} // namespace

int main(int argc, char *argv[])
{
    return runMainWindow(argc, argv, plugNodeLater);
}

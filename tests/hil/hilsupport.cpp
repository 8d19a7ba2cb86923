#include "hilsupport.h"

#include "app/sharedstate.h"
#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

#include <hidapi.h>

#include <QTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace {

constexpr unsigned char ReportId = 0;
constexpr int AnswerTimeoutMs = 3000;
using FramedReport = std::array<unsigned char, Report::Size + 1>;

hid_device *openNode()
{
    return hid_open(static_cast<unsigned short>(Node::VendorId),
                    static_cast<unsigned short>(Node::ProductId), nullptr);
}

bool writeFramed(hid_device *device, const NodeReport &report)
{
    FramedReport framed{};
    framed[0] = ReportId;
    std::copy(report.begin(), report.end(), framed.begin() + 1);
    return hid_write(device, framed.data(), framed.size()) == static_cast<int>(framed.size());
}

} // namespace

bool nodePresent()
{
    hid_device_info *const devices = hid_enumerate(static_cast<unsigned short>(Node::VendorId),
                                                   static_cast<unsigned short>(Node::ProductId));
    const bool found = devices != nullptr;
    hid_free_enumeration(devices);
    return found;
}

std::optional<NodeReport> readNodeDirectly()
{
    hid_device *const device = openNode();
    if (device == nullptr)
        return std::nullopt;
    NodeReport request{};
    request[Report::Command] = cmdRequestConfig;
    std::optional<NodeReport> answer;
    if (writeFramed(device, request)) {
        // Anything else the node sends first is skipped.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(AnswerTimeoutMs);
        NodeReport report{};
        while (!answer && std::chrono::steady_clock::now() < deadline) {
            const int got = hid_read_timeout(device, report.data(), report.size(), AnswerTimeoutMs);
            if (got < 0)
                break;
            if (got == static_cast<int>(Report::Size) && report[Report::Command] == cmdRequestConfig)
                answer = report;
        }
    }
    hid_close(device);
    return answer;
}

bool writeNodeDirectly(const NodeReport &configuration)
{
    hid_device *const device = openNode();
    if (device == nullptr)
        return false;
    NodeReport report = configuration;
    report[Report::Command] = cmdWriteConfig;
    const bool written = writeFramed(device, report);
    hid_close(device);
    return written;
}

bool restoreNodeDirectly(const NodeReport &configuration)
{
    if (!writeNodeDirectly(configuration))
        return false;
    const std::optional<NodeReport> restored = readNodeDirectly();
    return restored.has_value()
        && std::equal(configuration.begin() + Report::ConfigFirst,
                      configuration.begin() + Report::UniverseOffset + 1,
                      restored->begin() + Report::ConfigFirst);
}

void closeToolDevices()
{
    hidOpen(0, 0, 0, 0, 0);
}

int runWhenNodePresent(QObject &tests, int argc, char *argv[])
{
    if (!nodePresent()) {
        std::printf("No node %04X:%04X present: skipped.\n", static_cast<unsigned>(Node::VendorId),
                    static_cast<unsigned>(Node::ProductId));
        return SkipReturnCode;
    }
    return QTest::qExec(&tests, argc, argv);
}

#include "usb/nodeexchange.h"

#include "usb/hidtransport.h"
#include "usb/nodeidentity.h"

int requestConfiguration(int device, NodeReport &report)
{
    report[Report::Command] = cmdRequestConfig;
    hidSend(device, report.data(), Report::Size, Node::WriteTimeoutMs);
    return hidReceive(device, report.data(), Report::Size, hidPacing().replyTimeoutMs);
}

namespace {

// The system keeps at most this many input reports of an opened device.
constexpr int QueuedReportsAtMost = 64;
constexpr int NoWaitMs = 0;

} // namespace

void discardLateAnswers(int device)
{
    NodeReport late{};
    for (int report = 0; report < QueuedReportsAtMost; ++report) {
        if (hidReceive(device, late.data(), Report::Size, NoWaitMs) <= 0)
            return;
    }
}

int writeConfiguration(int device, NodeReport &report)
{
    report[Report::Command] = cmdWriteConfig;
    return hidSend(device, report.data(), Report::Size, Node::WriteTimeoutMs);
}

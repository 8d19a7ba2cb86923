#include "link/nodelink.h"

#include "link/readretries.h"
#include "usb/nodeexchange.h"

NodeLink::NodeLink(int device, Clock &clock, qint64 retryWindowMs)
    : device(device), clock(clock), retryWindowMs(retryWindowMs)
{
}

std::optional<NodeReport> NodeLink::readOnce()
{
    const NodeReport request = buffer;
    const int received = requestConfiguration(device, buffer);
    if (received == static_cast<int>(Report::Size))
        return buffer;
    // A short or failed answer leaves part of the request in the buffer.
    buffer = request;
    return std::nullopt;
}

std::optional<NodeReport> NodeLink::read()
{
    ReadRetries retries(clock, retryWindowMs);
    for (;;) {
        if (const std::optional<NodeReport> report = readOnce())
            return report;
        if (!retries.another())
            return std::nullopt;
        clock.sleepMs(ReadRetries::PauseMs);
    }
}

bool NodeLink::write(const NodeReport &configuration)
{
    buffer = configuration;
    return writeConfiguration(device, buffer) == static_cast<int>(Report::Size);
}

#include "link/nodelink.h"

#include "usb/nodeexchange.h"

NodeLink::NodeLink(int device, Clock &clock, qint64 retryWindowMs)
    : device(device), clock(clock), retryWindowMs(retryWindowMs)
{
}

bool NodeLink::readOnce()
{
    const NodeReport request = buffer;
    const int received = requestConfiguration(device, buffer);
    if (received == static_cast<int>(Report::Size))
        return true;
    // A short or failed answer leaves part of the request in the buffer.
    buffer = request;
    return false;
}

std::optional<NodeReport> NodeLink::read()
{
    const qint64 start = clock.elapsedMs();
    for (int attempt = 1;; ++attempt) {
        if (readOnce())
            return buffer;
        const bool timeLeft = clock.elapsedMs() - start < retryWindowMs;
        if (attempt >= MaxReadAttempts || !timeLeft)
            return std::nullopt;
        clock.sleepMs(RetryPauseMs);
    }
}

bool NodeLink::write(const NodeReport &configuration)
{
    buffer = configuration;
    return writeConfiguration(device, buffer) == static_cast<int>(Report::Size);
}

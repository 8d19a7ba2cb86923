#include "link/nodelink.h"

#include "link/readretries.h"
#include "usb/nodeexchange.h"

NodeLink::NodeLink(int device, Clock &clock, qint64 retryWindowMs)
    : device(device), clock(clock), retryWindowMs(retryWindowMs)
{
}

std::optional<NodeReport> NodeLink::readOnce()
{
    if (answersMayComeLate)
        discardLateAnswers(device);
    const NodeReport request = buffer;
    const int received = requestConfiguration(device, buffer);
    if (received == static_cast<int>(Report::Size))
        return buffer;
    // The answer may still come, after the next request: from now on every
    // request first drops what is queued, so that no answer passes for a
    // later request's (a read-back's).
    answersMayComeLate = true;
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

#pragma once

#include "link/clock.h"
#include "protocol/nodereport.h"

#include <optional>

// The exchanges with one opened node. Like the window, it keeps one report
// buffer: a request carries the configuration last read or written.
class NodeLink
{
public:
    // A read that fails or times out is tried again, MaxReadAttempts times
    // at most and within retryWindowMs: a node that is busy storing a
    // configuration may miss one request.
    static constexpr int MaxReadAttempts = 3;
    static constexpr int RetryPauseMs = 200;

    NodeLink(int device, Clock &clock, qint64 retryWindowMs);

    // The node's configuration: a complete 64-byte answer, or nothing.
    std::optional<NodeReport> read();
    // Writes a configuration (command 1); true when the node took all of it.
    bool write(const NodeReport &configuration);

private:
    bool readOnce();

    int device;
    Clock &clock;
    qint64 retryWindowMs;
    NodeReport buffer{};
};

#pragma once

#include "link/clock.h"
#include "protocol/nodereport.h"

#include <optional>

// The exchanges with one opened node. Like the window, it keeps one report
// buffer: a request carries the configuration last read or written.
class NodeLink
{
public:
    NodeLink(int device, Clock &clock, qint64 retryWindowMs);

    // The node's configuration: a complete 64-byte answer, or nothing. A
    // read that fails or times out is tried again as ReadRetries says,
    // sleeping on the clock between attempts.
    std::optional<NodeReport> read();
    // One attempt of a read, for a caller that retries in its own way.
    std::optional<NodeReport> readOnce();
    // Writes a configuration (command 1); true when the node took all of it.
    bool write(const NodeReport &configuration);
    qint64 retryWindow() const { return retryWindowMs; }

private:

    int device;
    Clock &clock;
    qint64 retryWindowMs;
    NodeReport buffer{};
    bool answersMayComeLate = false;
};

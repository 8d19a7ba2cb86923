#pragma once

#include "link/clock.h"

// When a read that failed or timed out is tried again: MaxAttempts times at
// most, within a window of time from the first attempt. A node that is busy
// storing a configuration may miss one request. The caller waits PauseMs
// between attempts, in its own way (a sleep, or a timer).
class ReadRetries
{
public:
    static constexpr int MaxAttempts = 3;
    static constexpr int PauseMs = 200;

    // The first attempt starts now.
    ReadRetries(const Clock &clock, qint64 windowMs);
    // After a failed attempt: whether to try again, counting that attempt.
    bool another();

private:
    const Clock *clock;
    qint64 windowMs;
    qint64 start;
    int attempts = 1;
};

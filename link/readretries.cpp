#include "link/readretries.h"

ReadRetries::ReadRetries(const Clock &clock, qint64 windowMs)
    : clock(&clock), windowMs(windowMs), start(clock.elapsedMs())
{
}

bool ReadRetries::another()
{
    const bool timeLeft = clock->elapsedMs() - start < windowMs;
    if (attempts >= MaxAttempts || !timeLeft)
        return false;
    ++attempts;
    return true;
}

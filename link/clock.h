#pragma once

#include <QDateTime>
#include <QtGlobal>

// Time as the waiting loops see it, so that tests can run them without
// waiting real seconds.
class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds on a steady clock, from an arbitrary start.
    virtual qint64 elapsedMs() const = 0;
    virtual void sleepMs(int milliseconds) = 0;
    // Local date and time, for the series log.
    virtual QDateTime wallTime() const = 0;
};

#pragma once

#include "link/clock.h"

#include <QElapsedTimer>

// The real clock: a steady timer and a blocking sleep.
class SystemClock : public Clock
{
public:
    SystemClock();
    qint64 elapsedMs() const override;
    void sleepMs(int milliseconds) override;
    QDateTime wallTime() const override;

private:
    QElapsedTimer timer;
};

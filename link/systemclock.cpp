#include "link/systemclock.h"

#include <QThread>

SystemClock::SystemClock()
{
    timer.start();
}

qint64 SystemClock::elapsedMs() const
{
    return timer.elapsed();
}

void SystemClock::sleepMs(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

QDateTime SystemClock::wallTime() const
{
    return QDateTime::currentDateTime();
}

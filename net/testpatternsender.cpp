#include "net/testpatternsender.h"

TestPatternSender::TestPatternSender(Clock &clock, QObject *parent)
    : QObject(parent), clock(clock)
{
}

TestPatternSender::~TestPatternSender() = default;

bool TestPatternSender::start(const QHostAddress &, const std::vector<int> &, quint16)
{
    return false;
}

void TestPatternSender::stop()
{
}

void TestPatternSender::setDurationMs(qint64 milliseconds)
{
    durationMs = milliseconds;
}

void TestPatternSender::sendFrame()
{
}

void TestPatternSender::sendToAll(bool)
{
}

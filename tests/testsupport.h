#pragma once

#include "protocol/nodereport.h"

#include <QString>

#include <initializer_list>
#include <utility>

// Puts the process-wide state back as it is at start and forgets every
// simulated device, so that each test starts from a fresh process's state.
void resetSharedState();

// A report with the given bytes at the given offsets and zeros elsewhere.
NodeReport reportWith(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes);

// A full, plausible node configuration: 192.168.1.50/24, LPD6803 at 0,8 MHz,
// universes 1..16, offset 3, capacity code 16, and 0xA0+i in reserved byte i.
NodeReport sampleConfiguration();

// Runs the event loop until the status history's refresh has run once.
void processRefresh();

// Everything standard output received while the object lives.
class CapturedOutput
{
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;
    QByteArray text();

private:
    int savedStdout;
    QString path;
};

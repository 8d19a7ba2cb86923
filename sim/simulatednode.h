#pragma once

#include "protocol/nodereport.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// A node as the tool sees it over USB: it answers a configuration request
// with one 64-byte report holding its stored configuration, and stores the
// configuration of a write. Its capacity (8 or 16 universes) is a property
// of the hardware: it is what the node reports, whatever was written.
class SimulatedNode
{
public:
    explicit SimulatedNode(const NodeReport &configuration = NodeReport{},
                           int capacity = LargeCapacity);

    void setConfiguration(const NodeReport &configuration);
    const NodeReport &configuration() const { return stored; }
    void setCapacity(int universes);
    int capacity() const { return universes; }
    // A node whose memory no longer stores: it takes every write and keeps
    // answering with the configuration it held.
    void setIgnoresWrites(bool ignores) { ignoresWrites = ignores; }

    // Takes one output report's data, without the report-ID byte.
    void receive(const std::uint8_t *data, std::size_t length);
    // Every report received so far, cut or padded with zeros to 64 bytes.
    const std::vector<NodeReport> &receivedReports() const { return received; }
    void clearReceivedReports() { received.clear(); }

    // The answers waiting to be read, oldest first, as the system queues a
    // device's input reports: an answer not read in time stays for the next
    // read. Reading takes the oldest; closing the device drops them all.
    bool hasAnswer() const { return !answers.empty(); }
    NodeReport takeAnswer();
    void dropAnswers() { answers.clear(); }

private:
    NodeReport stored;
    int universes;
    bool ignoresWrites = false;
    std::deque<NodeReport> answers;
    std::vector<NodeReport> received;
};

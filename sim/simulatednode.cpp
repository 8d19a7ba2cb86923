#include "sim/simulatednode.h"

#include <algorithm>

SimulatedNode::SimulatedNode(const NodeReport &configuration, int capacity)
    : stored(configuration), universes(capacity)
{
}

void SimulatedNode::setConfiguration(const NodeReport &configuration)
{
    stored = configuration;
}

void SimulatedNode::setCapacity(int capacity)
{
    universes = capacity;
}

void SimulatedNode::receive(const std::uint8_t *data, std::size_t length)
{
    NodeReport report{};
    std::copy_n(data, std::min(length, Report::Size), report.begin());
    received.push_back(report);

    if (report[Report::Command] == cmdWriteConfig && !ignoresWrites) {
        std::copy(report.begin() + 1, report.end(), stored.begin() + 1);
    } else if (report[Report::Command] == cmdRequestConfig) {
        NodeReport reply = stored;
        reply[Report::Command] = cmdRequestConfig;
        reply[Report::MaxUniverses] = static_cast<std::uint8_t>(universes);
        answers.push_back(reply);
    }
}

NodeReport SimulatedNode::takeAnswer()
{
    if (answers.empty())
        return NodeReport{};
    const NodeReport reply = answers.front();
    answers.pop_front();
    return reply;
}

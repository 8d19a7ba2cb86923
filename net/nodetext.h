#pragma once

#include "net/seennode.h"

#include <QString>

#include <vector>

// How the tools show a node's universes: each port-address as a number and,
// beside it, as Art-Net's net.sub-net.universe, since lighting software
// counts from 0 or from 1: "1 [0.0.1], 2 [0.0.2]".
QString universesText(const std::vector<int> &portAddresses);

// One line for a node in the console's list: address, name, MAC, universes,
// firmware.
QString nodeLine(const SeenNode &node);

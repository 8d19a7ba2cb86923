#pragma once

#include "protocol/nodereport.h"
#include "testcommon.h"

#include <optional>

class QObject;

// The hardware-in-the-loop tests run against whatever node is plugged in.
// Beside the tool's own transport they reach the node straight through
// hidapi, to see what it really holds and to put back what it held.

// CTest's code for a skipped test: no node is present.
constexpr int SkipReturnCode = 77;

bool nodePresent();

// Asks the node for its configuration, through hidapi directly. The tool's
// devices must be closed (closeToolDevices) so that no answer is queued
// for them.
std::optional<NodeReport> readNodeDirectly();

// Writes a configuration as a write command, through hidapi directly.
bool writeNodeDirectly(const NodeReport &configuration);

// Writes a configuration back and reads it again; true when the node then
// holds its bytes 1..32 (byte 33 is the node's own capacity).
bool restoreNodeDirectly(const NodeReport &configuration);

// Closes every device the tool opened.
void closeToolDevices();

// Runs the tests when a node is present; returns SkipReturnCode otherwise.
int runWhenNodePresent(QObject &tests, int argc, char *argv[]);

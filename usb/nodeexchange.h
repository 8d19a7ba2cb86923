#pragma once

#include "protocol/nodereport.h"

// The two exchanges with a node, shared by the window and the command-line
// tool. Both address an opened device by its transport number and return
// the transport's count: the report's 64 bytes, 0 on time-out, -1 on error.

// Asks device n for its configuration: the report goes out as a request
// (command 2, bytes 1..63 as they are), and the answer is read into it.
// Whatever the write's result, the read follows; it waits for the reply as
// long as hidPacing() says.
int requestConfiguration(int device, NodeReport &report);

// Reads and drops the answers device n already holds queued: an answer that
// came after its read timed out would otherwise be taken by the next request
// for its own (a read-back after a write would see the configuration from
// before it). Does not wait.
void discardLateAnswers(int device);

// Writes the report to device n as a configuration to store (command 1).
// No answer is read.
int writeConfiguration(int device, NodeReport &report);

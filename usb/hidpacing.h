#pragma once

#include "usb/nodeidentity.h"

#include <functional>

// Pause after a write, giving the node time to store what it was sent.
constexpr int HidPauseAfterWriteMs = 500;

// How the transport paces its exchanges with the node. The window runs with
// WindowPacing; nodeconfig-cli sets CommandLinePacing once at start-up.
struct HidPacing {
    // Pause after a successful write.
    int pauseAfterWriteMs = HidPauseAfterWriteMs;
    // Whether every write pauses, or only a configuration write (command 1),
    // the one the node has to store.
    bool pauseAfterEveryWrite = true;
    // How long the read that follows a request waits for the reply. The
    // read returns as soon as the reply is there.
    int replyTimeoutMs = Node::ReadTimeoutMs;
};

// The window: a pause after every write, and 220 ms for the reply.
constexpr HidPacing WindowPacing{};

// The command line: a request needs no pause, its reply is simply read, with
// as long a wait as the window allows between a request and the end of its
// read (its pause and its read together) for a slow node. A configuration
// write keeps its pause before the request that verifies it.
constexpr HidPacing CommandLinePacing{HidPauseAfterWriteMs, false,
                                      HidPauseAfterWriteMs + Node::ReadTimeoutMs};

const HidPacing &hidPacing();
void setHidPacing(const HidPacing &pacing);

// A series paces its exchanges itself, so that the window can wait on a
// timer: no pause in the transport, and the window's wait for a reply. The
// store pause after a configuration write is the series' own.
constexpr HidPacing SeriesPacing{0, false, Node::ReadTimeoutMs};

// What a pause does: by default the calling thread sleeps. Tests that count
// pauses install their own (an empty function puts the sleep back).
using HidPause = std::function<void(int milliseconds)>;
void setHidPause(HidPause pause);
// Pauses as the transport does after a write: a loop that may block (the
// command line) pauses through here.
void hidPauseFor(int milliseconds);

#pragma once

#include <QString>

#include <cstddef>
#include <cstdio>

// The one place where Windows differs from the other systems for the tool's
// console output, its ending by the user or the system, its files, and a
// UDP port shared with another program.

// A window program started from a console writes its diagnostics there;
// started from the desktop it has no console and opens none. Output that is
// already redirected to a file or a pipe stays where it goes.
void attachParentConsole();

// Writes UTF-8 text to standard output or standard error, whole and at once:
// to a Windows console as wide characters, so that every accent shows
// whatever the console's code page; elsewhere as the bytes themselves, with
// the same "\n" line ends on every system.
// False when not all of it was written: no one is reading any more (a closed
// pipe or terminal), or the disk behind a redirection is full.
bool writeConsoleText(std::FILE *stream, const char *text, std::size_t size);

// Calls `onEnd` whenever the user or the system asks the program to end:
// Ctrl+C, SIGTERM, the terminal or SSH session closed (SIGHUP); on Windows
// Ctrl+Break, the console window closed, the user logging off and shutdown.
// It runs in a signal handler or the system's console thread, so it may only
// set a flag. A write to a closed pipe no longer ends the program at once
// (SIGPIPE is ignored): the write fails instead, and the program decides.
void installEndHandlers(void (*onEnd)());
// The program has finished what it had under way after being asked to end
// (a row stored, strips made black). On Windows the console's closing, the
// logging off and shutdown end the process as soon as their handler returns,
// so the handler waits for this call, within the few seconds the system
// gives, before it lets the process go. Elsewhere it does nothing.
void endHandled();

// Asks the system to put what was written to `descriptor` (an open file's
// native descriptor, QFile::handle()) on the disk itself, beyond its cache:
// fsync on POSIX, FlushFileBuffers on Windows. False when that failed.
bool syncToDisk(int descriptor);

// In French, what this system does with the datagrams sent to this computer
// on a UDP port that two programs hold, both sharing it (SO_REUSEADDR), once
// nodeconfig has opened it after the other: the end of a sentence, for the
// warnings given before and while listening beside another program.
QString sharedUdpPortDelivery();

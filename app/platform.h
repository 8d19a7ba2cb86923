#pragma once

#include <cstddef>
#include <cstdio>

// The one place where Windows differs from the other systems for the tool's
// console output.

// A window program started from a console writes its diagnostics there;
// started from the desktop it has no console and opens none. Output that is
// already redirected to a file or a pipe stays where it goes.
void attachParentConsole();

// Writes UTF-8 text to standard output or standard error, whole and at once:
// to a Windows console as wide characters, so that every accent shows
// whatever the console's code page; elsewhere as the bytes themselves, with
// the same "\n" line ends on every system.
void writeConsoleText(std::FILE *stream, const char *text, std::size_t size);

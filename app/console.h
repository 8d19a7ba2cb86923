#pragma once

// Writes one printf-style diagnostic to standard output and flushes it, so
// that it shows at once when the output goes to a pipe or a file.
void consolePrint(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#pragma once

// Ctrl+C, SIGTERM, a closed terminal (SIGHUP) and, on Windows, a closed
// console, logging off and shutdown only raise a flag; the loops that wait
// look at it and end cleanly with a summary, once what is under way (a unit
// being written, the black frames) is done. A closed pipe does not end the
// program: its writes fail. The program calls stopHandled() before it returns.
void installStopHandlers();
// What was under way when the stop came is done: the system may now end the
// process (a closed Windows console waits for this).
void stopHandled();
bool stopRequested();
// Raises the flag as a signal would (used by tests), or lowers it again.
void requestStop();
void clearStopRequest();

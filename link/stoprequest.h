#pragma once

// Ctrl+C (SIGINT) and SIGTERM only raise a flag; the loops that wait look
// at it and end cleanly with a summary.
void installStopHandlers();
bool stopRequested();
// Raises the flag as a signal would (used by tests), or lowers it again.
void requestStop();
void clearStopRequest();

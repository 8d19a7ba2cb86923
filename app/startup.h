#pragma once

class QWidget;

// Sets the first status message and starts the 100 ms node search.
void startSearch();

// What a program does at a moment of its start-up: nothing for the tool
// itself.
using StartedHook = void (*)();

// Makes the application object at a scale where the main window opens
// whole on its screen, then creates and shows the window, starts the search
// and runs the event loop. `started` runs once the application object and
// the window are made for good, before the window is shown;
// `applicationMade` each time the application object is made (twice where
// the window is fitted to its screen), before the window is.
int runMainWindow(int &argc, char **argv, StartedHook started = nullptr,
                  StartedHook applicationMade = nullptr);

// The user guide alone, in its window, without the main window and without
// looking for a node: the Start menu's "Guide d'utilisation".
int runGuideWindow(int &argc, char **argv);

// Ctrl+C in the console the program was started from, SIGTERM, a closed
// terminal (SIGHUP) and, on Windows, a closed console close every window as
// the user would: the test pattern ends black, a series finishes its unit,
// and the event loop ends. Looked at every 100 ms while `mainWindow` lives.
void closeWindowsOnStopRequest(QWidget &mainWindow);

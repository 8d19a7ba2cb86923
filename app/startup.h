#pragma once

// Sets the first status message and starts the 100 ms node search.
void startSearch();

// What a program does once its application object is made for good, before
// the window is shown: nothing for the tool itself.
using StartedHook = void (*)();

// Makes the application object at a scale where the main window opens
// whole on its screen, then creates and shows the window, starts the search
// and runs the event loop.
int runMainWindow(int &argc, char **argv, StartedHook started = nullptr);

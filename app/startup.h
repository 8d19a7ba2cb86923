#pragma once

class QApplication;

// Sets the first status message and starts the 100 ms node search.
void startSearch();

// Creates and shows the main window, starts the search and runs the event loop.
int runMainWindow(QApplication &app);

#pragma once

class MainWindow;

// The window the window's targets work on: one per process, made on the
// offscreen platform at the first call, as the tool makes it at start.
MainWindow &fuzzWindow(int *argc, char ***argv);

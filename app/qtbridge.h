#pragma once

// The one place where Qt 5 and Qt 6 differ for this tool's start-up.

// Makes the window scale as a whole on a scaled screen, so that its fixed
// geometry stays in logical pixels. Qt 6 always does; Qt 5 must be asked
// before the application object is made.
void enableHighDpiScaling();

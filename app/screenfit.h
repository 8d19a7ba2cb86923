#pragma once

#include <QMargins>
#include <QSize>

#include <optional>

class QWidget;

// A window and the screen it opens on, as the fitting rule sees them: the
// window's size in its own units, and its frame and the screen's available
// area (taskbar and panels left out) in the screen's pixels, where the
// system draws the frame at the system's scale whatever the window's.
struct ScreenRoom
{
    QSize windowSize;
    QMargins frame;
    QSize available;
    qreal systemScale;
};

// The scale a window opens at: the system's own if the window and its frame
// lie whole in the available area at that scale, else the largest quarter
// step below it where they do, else 1, never less.
qreal fittingScale(const ScreenRoom &room);

// For a window made but not shown yet: the scale to start the application
// at so that the window opens whole on its screen; nullopt when it does at
// the screen's scale, or when the scale cannot be chosen on this platform
// or with this Qt.
// Makes the window's native window to learn its frame.
std::optional<qreal> scaleToFit(QWidget &window);

// Asks the next application object made in this process to scale the
// window's screen by this much, other screens keeping their own scale.
void askScaleForNextStart(QWidget &window, qreal scale);

// Moves a window made but not shown yet, frame included, into its screen's
// available area where the place the system gave it would cut it.
void keepOnScreen(QWidget &window);

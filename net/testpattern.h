#pragma once

#include <QByteArray>

// The test pattern: on each universe a chase of its own colour, pixel by
// pixel from the first, so that which strip takes which universe and in
// which order its pixels are wired shows at a glance. Pixels are three
// channels (red, green, blue); the chase lights one pixel fully and leaves
// the pixels it has passed dimly lit, then starts again.
namespace TestPattern {

constexpr int ChannelsPerPixel = 3;
constexpr int PixelsPerUniverse = 170;  // 510 of the 512 channels
constexpr int FrameChannels = 512;

// The 512 channels of frame `frame` (0, 1, ...) for the universe at
// `universeIndex` in the node's list (its colour).
QByteArray frame(int universeIndex, long long frame);
// All channels at zero: the last frame of every run.
QByteArray blackFrame();

} // namespace TestPattern

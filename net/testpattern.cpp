#include "net/testpattern.h"

#include <array>

namespace TestPattern {

namespace {

using Colour = std::array<char, ChannelsPerPixel>;

constexpr char Full = '\xFF';
constexpr char Dim = '\x20';
constexpr char Off = '\0';

// One colour per universe, in the node's order: red, green, blue, yellow,
// cyan, magenta, white, then again.
constexpr std::array<Colour, 7> Colours = {{
    {Full, Off, Off},
    {Off, Full, Off},
    {Off, Off, Full},
    {Full, Full, Off},
    {Off, Full, Full},
    {Full, Off, Full},
    {Full, Full, Full},
}};

char dimmed(char channel)
{
    return channel == Off ? Off : Dim;
}

void paint(QByteArray &channels, int pixel, const Colour &colour, bool dim)
{
    for (int c = 0; c < ChannelsPerPixel; ++c)
        channels[pixel * ChannelsPerPixel + c] =
            dim ? dimmed(colour[static_cast<std::size_t>(c)]) : colour[static_cast<std::size_t>(c)];
}

} // namespace

QByteArray frame(int universeIndex, long long frameNumber)
{
    const auto colourCount = static_cast<long long>(Colours.size());
    const Colour &colour =
        Colours[static_cast<std::size_t>(((universeIndex % colourCount) + colourCount) % colourCount)];
    const int head = static_cast<int>(((frameNumber % PixelsPerUniverse) + PixelsPerUniverse)
                                      % PixelsPerUniverse);
    QByteArray channels = blackFrame();
    for (int pixel = 0; pixel < head; ++pixel)
        paint(channels, pixel, colour, true);
    paint(channels, head, colour, false);
    return channels;
}

QByteArray blackFrame()
{
    return QByteArray(FrameChannels, '\0');
}

} // namespace TestPattern

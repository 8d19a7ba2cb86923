#include "net/testpattern.h"

namespace TestPattern {

QByteArray frame(int, long long)
{
    return blackFrame();
}

QByteArray blackFrame()
{
    return QByteArray(FrameChannels, '\0');
}

} // namespace TestPattern

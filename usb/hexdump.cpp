#include "usb/hexdump.h"

namespace {
constexpr int BytesPerLine = 16;
constexpr int HexDigits = 2;
constexpr int HexBase = 16;
} // namespace

QByteArray hexDump(const std::uint8_t *bytes, int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += QByteArray::number(bytes[i], HexBase).toUpper().rightJustified(HexDigits, '0');
        text += ' ';
        if (i % BytesPerLine == BytesPerLine - 1 && i < count - 1)
            text += '\n';
    }
    return text;
}

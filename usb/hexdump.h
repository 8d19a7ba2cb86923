#pragma once

#include <QByteArray>

#include <cstdint>

// "%02X " per byte, sixteen bytes a line, no line break after the last byte.
QByteArray hexDump(const std::uint8_t *bytes, int count);

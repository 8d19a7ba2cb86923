#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The one 64-byte record exchanged with the node. Offsets count from the
// first report byte; the HID report-ID byte in front of it is not part of it.
using NodeReport = std::array<std::uint8_t, 64>;

namespace Report {

constexpr std::size_t Size = std::tuple_size<NodeReport>::value;

constexpr std::size_t Command = 0;
constexpr std::size_t IpAddress = 1;      // 4 octets, first octet first
constexpr std::size_t IpMask = 5;         // 4 octets
constexpr std::size_t IpBroadcast = 9;    // 4 octets
constexpr std::size_t OutputType = 13;    // chip code 0..7
constexpr std::size_t Spi1Freq = 14;      // 50 kHz steps
constexpr std::size_t Spi2Freq = 15;
constexpr std::size_t Spi1Patch = 16;     // 8 universe numbers
constexpr std::size_t Spi2Patch = 24;     // 8 universe numbers
constexpr std::size_t UniverseOffset = 32;
constexpr std::size_t MaxUniverses = 33;  // capacity code, read as 8 or 16
constexpr std::size_t Reserved = 34;      // 34..63, not interpreted

constexpr std::size_t IpOctets = 4;
constexpr std::size_t PatchSlots = 8;
constexpr std::size_t ConfigFirst = IpAddress;   // configuration: 1..33
constexpr std::size_t ConfigLast = MaxUniverses;

} // namespace Report

// Command codes carried in byte 0.
constexpr std::uint8_t cmdWriteConfig = 1;
constexpr std::uint8_t cmdRequestConfig = 2;

// Chip codes: the item indices of the output type list.
namespace Chip {
constexpr int TS3001 = 0;
constexpr int UCS1912_WS2812 = 1;
constexpr int LPD6803 = 2;
constexpr int SN16716 = 3;
constexpr int DMX512 = 4;
constexpr int SpiToDmx = 5;
constexpr int WS2812RGBW = 6;
constexpr int LPD1886 = 7;
constexpr int Count = 8;
} // namespace Chip

// Capacities the node reports in its capacity code.
constexpr int SmallCapacity = 8;
constexpr int LargeCapacity = 16;

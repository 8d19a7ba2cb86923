#pragma once

#include "protocol/nodereport.h"

#include <cstddef>

// The display slots: one text per field of the window, in the order in which
// the form is checked. Slot s holds report byte s+1 for the twelve address
// octets and byte s+2 from the first clock on (byte 13, the chip code, is
// held apart as a number).
namespace Slot {

constexpr int IpAddress = 0;     // 0..3
constexpr int IpMask = 4;        // 4..7
constexpr int IpBroadcast = 8;   // 8..11
constexpr int Spi1Freq = 12;
constexpr int Spi2Freq = 13;
constexpr int Spi1Patch = 14;    // 14..21
constexpr int Spi2Patch = 22;    // 22..29
constexpr int UniverseOffset = 30;
constexpr int MaxUniverses = 31;

constexpr int EditCount = 31;    // slots 0..30 are line edits
constexpr int Count = 32;        // slot 31 is the capacity label
constexpr int Stored = 64;       // size of the slot array

constexpr int HostOctet = IpAddress + 3;

constexpr std::size_t reportOffset(int slot)
{
    return slot < Spi1Freq ? static_cast<std::size_t>(slot) + 1
                           : static_cast<std::size_t>(slot) + 2;
}

constexpr bool isFrequency(int slot)
{
    return slot == Spi1Freq || slot == Spi2Freq;
}

static_assert(reportOffset(IpBroadcast + 3) == Report::IpBroadcast + 3, "address octets");
static_assert(reportOffset(Spi1Freq) == Report::Spi1Freq, "first clock");
static_assert(reportOffset(Spi1Patch) == Report::Spi1Patch, "SPI1 patch");
static_assert(reportOffset(Spi2Patch) == Report::Spi2Patch, "SPI2 patch");
static_assert(reportOffset(UniverseOffset) == Report::UniverseOffset, "offset");
static_assert(reportOffset(MaxUniverses) == Report::MaxUniverses, "capacity");

} // namespace Slot

#pragma once

#include "protocol/nodereport.h"

#include <cstdint>

// The fixed configurations written without looking at the form. Each fills
// all 64 bytes; only the capacity code follows the one the buffer held.

NodeReport factoryReport(std::uint8_t oldCapacityByte);

// Curtain sizes, the item indices of the size list.
namespace CurtainSize {
constexpr int TwoByOne = 0;
constexpr int ThreeByTwo = 1;
constexpr int FourByTwo = 2;
constexpr int Count = 3;
} // namespace CurtainSize

NodeReport curtainReport(long long number, int size, std::uint8_t oldCapacityByte);
NodeReport costumeReport(long long number, std::uint8_t oldCapacityByte);

// Unit N gets the address 2.0.0.(N + 14).
constexpr int UnitHostOffset = 14;

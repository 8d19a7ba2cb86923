#include "protocol/presets.h"

#include "protocol/encoding.h"

#include <algorithm>

namespace {

using Octets = std::array<std::uint8_t, Report::IpOctets>;
using Patch = std::array<std::uint8_t, Report::PatchSlots>;

constexpr std::uint8_t NetworkOctet = 2;   // every unit lives in 2.0.0.0/8
constexpr std::uint8_t FactoryHostOctet = 15;
constexpr Octets UnitMask = {255, 0, 0, 0};
constexpr Octets UnitBroadcast = {2, 255, 255, 255};
constexpr std::uint8_t ClockLpd6803 = 16;  // 0,8 MHz
constexpr std::uint8_t ClockCostume = 8;   // 0,4 MHz

constexpr Patch FactorySpi1Patch = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr Patch FactorySpi2Patch = {9, 10, 11, 12, 13, 14, 15, 16};
constexpr Patch CostumeSpi1Patch = {1, 2, 3, 4, 0, 0, 0, 0};
constexpr Patch CostumeSpi2Patch = {5, 6, 7, 8, 0, 0, 0, 0};
constexpr Patch CurtainPatches[] = {
    {1, 2, 0, 0, 0, 0, 0, 0}, // 2X1
    {1, 2, 3, 4, 0, 0, 0, 0}, // 3X2
    {1, 2, 3, 4, 5, 0, 0, 0}, // 4X2
};
constexpr int CurtainSizeCount = sizeof CurtainPatches / sizeof CurtainPatches[0];
static_assert(CurtainSizeCount == CurtainSize::Count, "one patch per curtain size");

template <std::size_t N>
void put(NodeReport &report, std::size_t offset, const std::array<std::uint8_t, N> &bytes)
{
    std::copy(bytes.begin(), bytes.end(), report.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A configuration in the units' network, zeros everywhere it says nothing.
NodeReport unitReport(std::uint8_t hostOctet, int chip, std::uint8_t clock,
                      std::uint8_t oldCapacityByte)
{
    NodeReport report{};
    report[Report::Command] = cmdWriteConfig;
    put(report, Report::IpAddress, Octets{NetworkOctet, 0, 0, hostOctet});
    put(report, Report::IpMask, UnitMask);
    put(report, Report::IpBroadcast, UnitBroadcast);
    report[Report::OutputType] = static_cast<std::uint8_t>(chip);
    report[Report::Spi1Freq] = clock;
    report[Report::Spi2Freq] = clock;
    report[Report::MaxUniverses] = capacityByteFor(oldCapacityByte);
    return report;
}

std::uint8_t unitHostOctet(long long number)
{
    return static_cast<std::uint8_t>(number + UnitHostOffset);
}

} // namespace

NodeReport factoryReport(std::uint8_t oldCapacityByte)
{
    NodeReport report =
        unitReport(FactoryHostOctet, Chip::LPD6803, ClockLpd6803, oldCapacityByte);
    put(report, Report::Spi1Patch, FactorySpi1Patch);
    if (capacityFromByte(oldCapacityByte) == LargeCapacity)
        put(report, Report::Spi2Patch, FactorySpi2Patch);
    return report;
}

NodeReport curtainReport(long long number, int size, std::uint8_t oldCapacityByte)
{
    NodeReport report =
        unitReport(unitHostOctet(number), Chip::LPD6803, ClockLpd6803, oldCapacityByte);
    const int known = std::clamp(size, CurtainSize::TwoByOne, CurtainSizeCount - 1);
    put(report, Report::Spi1Patch, CurtainPatches[known]);
    return report;
}

NodeReport costumeReport(long long number, std::uint8_t oldCapacityByte)
{
    NodeReport report =
        unitReport(unitHostOctet(number), Chip::UCS1912_WS2812, ClockCostume, oldCapacityByte);
    put(report, Report::Spi1Patch, CostumeSpi1Patch);
    put(report, Report::Spi2Patch, CostumeSpi2Patch);
    return report;
}

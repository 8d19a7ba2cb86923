#include "soak/soakdice.h"

#include "soak/oracle.h"

namespace {

constexpr int LowestHost = 15;
constexpr int ByteTop = 255;
constexpr int LargestUnit = 241;
constexpr int StepsTop = 255;
constexpr int ChipCount = 8;

} // namespace

SoakDice::SoakDice(std::uint64_t seed) : engine(seed)
{
}

int SoakDice::below(int count)
{
    return static_cast<int>(engine() % static_cast<std::uint64_t>(count));
}

bool SoakDice::chance(int percent)
{
    return below(100) < percent;
}

QString SoakDice::numberBetween(int lowest, int highest)
{
    return QString::number(lowest + below(highest - lowest + 1));
}

QString SoakDice::oneOf(std::initializer_list<const char *> texts)
{
    const int index = below(static_cast<int>(texts.size()));
    return QString::fromUtf8(*(texts.begin() + index));
}

QString SoakDice::byteText()
{
    if (chance(75))
        return numberBetween(0, ByteTop);
    return oneOf({"", "256", "300", "-1", "abc", "1 2", "007", "+5", "99999", "1,2", "1.5", " "});
}

QString SoakDice::hostText()
{
    // The lowest host octet the form takes, and the one below it.
    if (chance(20))
        return oneOf({"14", "15"});
    if (chance(60))
        return numberBetween(LowestHost, ByteTop);
    if (chance(50))
        return numberBetween(0, LowestHost - 1);
    return byteText();
}

QString SoakDice::clockText()
{
    if (chance(45))
        return Oracle::clockText(static_cast<std::uint8_t>(1 + below(StepsTop)));
    if (chance(35)) {
        // Two decimals, between two steps or on one, with either separator.
        const int hundredths = 5 + below(1271);
        return QStringLiteral("%1%2%3")
            .arg(hundredths / 100)
            .arg(chance(50) ? QLatin1Char(',') : QLatin1Char('.'))
            .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    }
    return oneOf({"", "0", "0,04", "0,05", "12,75", "12,76", "13", "99", ",", ".", "1,234",
                  "0,001", "abc", "0.5", "-1", "1e1"});
}

QString SoakDice::unitNumberText()
{
    if (chance(65))
        return numberBetween(0, LargestUnit);
    if (chance(50))
        return numberBetween(LargestUnit + 1, ByteTop);
    return oneOf({"", "300", "abc", "007", "-3", "+4"});
}

QString SoakDice::validText(bool clock, bool host)
{
    if (clock)
        return Oracle::clockText(static_cast<std::uint8_t>(1 + below(StepsTop)));
    return host ? numberBetween(LowestHost, ByteTop) : numberBetween(0, ByteTop);
}

NodeReport SoakDice::configuration()
{
    NodeReport report;
    for (std::uint8_t &byte : report)
        byte = static_cast<std::uint8_t>(below(ByteTop + 1));
    if (chance(90))
        report[Report::OutputType] = static_cast<std::uint8_t>(below(ChipCount));
    for (const std::size_t clock : {Report::Spi1Freq, Report::Spi2Freq}) {
        if (chance(90))
            report[clock] = static_cast<std::uint8_t>(1 + below(StepsTop));
    }
    if (chance(85))
        report[Report::IpAddress + 3] = static_cast<std::uint8_t>(LowestHost + below(ByteTop - LowestHost + 1));
    return report;
}

int SoakDice::capacityCode()
{
    return pick(std::vector<int>{SmallCapacity, LargeCapacity, 0, 1, 9, 24, 255});
}

#include "protocol/validation.h"

#include "app/messages.h"
#include "protocol/encoding.h"

#include <algorithm>

namespace {

constexpr int LowestHostOctet = 15;

struct ClockMessages {
    int slot;
    const char *tooLow;
    const char *tooHigh;
};

const ClockMessages clockChecks[] = {
    {Slot::Spi1Freq, Status::Spi1FreqTooLow, Status::Spi1FreqTooHigh},
    {Slot::Spi2Freq, Status::Spi2FreqTooLow, Status::Spi2FreqTooHigh},
};

QString clockFailure(const QString &text, const ClockMessages &messages)
{
    const double mhz = frequencyTextToMhz(text);
    if (mhz < LowestClockMhz)
        return message(messages.tooLow);
    if (mhz > HighestClockMhz)
        return message(messages.tooHigh);
    return {};
}

} // namespace

QString configurationFailure(const ConfigTexts &texts)
{
    const bool anyEmpty = std::any_of(texts.begin(), texts.end(),
                                      [](const QString &text) { return text.isEmpty(); });
    if (anyEmpty)
        return message(Status::FillAllFields);
    if (decimalTextToInteger(texts[Slot::HostOctet]) < LowestHostOctet)
        return message(Status::HostOctetTooLow);
    for (const ClockMessages &check : clockChecks) {
        const QString failure = clockFailure(texts[check.slot], check);
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

QString unitNumberFailure(const QString &text, UnitKind kind)
{
    const bool curtain = kind == UnitKind::Curtain;
    if (text.isEmpty())
        return message(curtain ? Status::NoCurtainNumber : Status::NoCostumeNumber);
    if (decimalTextToInteger(text) > LargestUnitNumber)
        return message(curtain ? Status::TooManyCurtains : Status::TooManyCostumes);
    return {};
}

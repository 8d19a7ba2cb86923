#include "protocol/validation.h"

#include "protocol/encoding.h"

#include <algorithm>

namespace {

constexpr int LowestHostOctet = 15;
constexpr double LowestClockMhz = 0.05;
constexpr double HighestClockMhz = 12.75;

struct ClockMessages {
    int slot;
    const char *tooLow;
    const char *tooHigh;
};

constexpr ClockMessages clockChecks[] = {
    {Slot::Spi1Freq, "SPI1 Freq trop bas", "SPI1 Freq trop haut"},
    {Slot::Spi2Freq, "SPI2 Freq trop bas", "SPI2 Freq trop haut"},
};

QString clockFailure(const QString &text, const ClockMessages &messages)
{
    const double mhz = frequencyTextToMhz(text);
    if (mhz < LowestClockMhz)
        return QString::fromUtf8(messages.tooLow);
    if (mhz > HighestClockMhz)
        return QString::fromUtf8(messages.tooHigh);
    return {};
}

} // namespace

QString configurationFailure(const ConfigTexts &texts)
{
    const bool anyEmpty = std::any_of(texts.begin(), texts.end(),
                                      [](const QString &text) { return text.isEmpty(); });
    if (anyEmpty)
        return QString::fromUtf8("Veuillez remplir tous les champs");
    if (decimalTextToInteger(texts[Slot::HostOctet]) < LowestHostOctet)
        return QString::fromUtf8("L'adresse IP minimum est .15");
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
        return QString::fromUtf8(curtain ? "Aucun numéro de rideau" : "Aucun numéro de costume");
    if (decimalTextToInteger(text) > LargestUnitNumber)
        return QString::fromUtf8(curtain ? "Impossible d'ajouter plus de rideau"
                                         : "Impossible d'ajouter plus de costume");
    return {};
}

#include "soak/oracle.h"

#include <QRegularExpression>

#include <limits>

namespace Oracle {
namespace {

constexpr std::size_t EditOffsets[EditCount] = {
    1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, // addresses
    14, 15,                                         // clocks
    16, 17, 18, 19, 20, 21, 22, 23,                 // SPI1 patch
    24, 25, 26, 27, 28, 29, 30, 31,                 // SPI2 patch
    32,                                             // universe offset
};

constexpr long long MicroPerMhz = 1000000;
constexpr long long MicroPerStep = 50000; // one step is 0,05 MHz
constexpr long long LowestClockMicro = 50000;
constexpr long long HighestClockMicro = 12750000;
constexpr int MicroDigits = 6;
constexpr int LongestWhole = 12;
constexpr int LowestHost = 15;
constexpr int LargestUnit = 241;
constexpr int UnitHostOffset = 14;
constexpr int ChipCount = 8;
constexpr int FactoryHost = 15;
constexpr std::uint8_t ChipLpd6803 = 2;
constexpr std::uint8_t ChipUcs1912 = 1;
constexpr std::uint8_t ClockCurtain = 16; // 0,8 MHz
constexpr std::uint8_t ClockCostume = 8;  // 0,4 MHz
constexpr std::uint8_t LargeCapacity = 16;
constexpr std::uint8_t SmallCapacity = 8;
constexpr std::uint8_t IgnoredCapacityBit = 0x08;

QString french(const char *text)
{
    return QString::fromUtf8(text);
}

std::uint8_t capacityByte(std::uint8_t oldByte)
{
    return (oldByte & ~IgnoredCapacityBit) != 0 ? LargeCapacity : SmallCapacity;
}

// The units' network with zeros wherever the preset says nothing.
NodeReport unitBase(int host, std::uint8_t chip, std::uint8_t clock, std::uint8_t oldCapacity)
{
    NodeReport report{};
    const std::uint8_t head[] = {1,   2, 0, 0, static_cast<std::uint8_t>(host),
                                 255, 0, 0, 0, 2, 255, 255, 255, chip, clock, clock};
    std::copy(std::begin(head), std::end(head), report.begin());
    report[Report::MaxUniverses] = capacityByte(oldCapacity);
    return report;
}

int unitHost(long long number)
{
    return static_cast<int>(static_cast<unsigned long long>(number + UnitHostOffset) & 0xFF);
}

void putPatch(NodeReport &report, std::size_t first, std::initializer_list<int> universes)
{
    std::size_t offset = first;
    for (const int universe : universes)
        report[offset++] = static_cast<std::uint8_t>(universe);
}

std::optional<QString> clockFailure(const QString &text, const char *tooLow,
                                    const char *tooHigh)
{
    const std::optional<long long> micro = clockMicroMhz(text);
    if (!micro)
        return std::nullopt;
    if (*micro < LowestClockMicro)
        return french(tooLow);
    if (*micro > HighestClockMicro)
        return french(tooHigh);
    return QString();
}

} // namespace

std::size_t offsetOfEdit(int edit)
{
    return EditOffsets[edit];
}

bool isClockEdit(int edit)
{
    return edit == Spi1ClockEdit || edit == Spi2ClockEdit;
}

long long decimalValue(const QString &text)
{
    const QString trimmed = text.trimmed();
    int at = 0;
    const bool negative = trimmed.startsWith(QLatin1Char('-'));
    if (negative || trimmed.startsWith(QLatin1Char('+')))
        at = 1;
    if (at >= trimmed.size())
        return 0;
    long long value = 0;
    for (; at < trimmed.size(); ++at) {
        const QChar c = trimmed.at(at);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
        const int digit = c.unicode() - '0';
        if (value > (std::numeric_limits<long long>::max() - digit) / 10)
            return 0;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::uint8_t decimalByte(const QString &text)
{
    return static_cast<std::uint8_t>(static_cast<unsigned long long>(decimalValue(text)) & 0xFF);
}

std::optional<long long> clockMicroMhz(const QString &text)
{
    QString point = text;
    point.replace(QLatin1Char(','), QLatin1Char('.'));
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?)0*(\\d*)(?:\\.(\\d*))?\\s*$"));
    static const QRegularExpression plain(QStringLiteral("^[0-9.+\\-\\s]*$"));
    const QRegularExpressionMatch match = number.match(point);
    const bool hasDigit = point.contains(QRegularExpression(QStringLiteral("\\d")));
    if (!match.hasMatch() || !hasDigit) {
        // Text made of digits, points and signs that is no number reads as
        // 0; anything else (an exponent, "inf") is not modelled here.
        if (plain.match(point).hasMatch())
            return 0;
        return std::nullopt;
    }
    const QString whole = match.captured(2);
    QString fraction = match.captured(3);
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (whole.size() > LongestWhole || fraction.size() > MicroDigits)
        return std::nullopt;
    fraction = fraction.leftJustified(MicroDigits, QLatin1Char('0'));
    const long long micro = (whole.isEmpty() ? 0 : whole.toLongLong()) * MicroPerMhz
        + fraction.toLongLong();
    return match.captured(1) == QLatin1String("-") ? -micro : micro;
}

QString decimalText(std::uint8_t byte)
{
    return QString::number(static_cast<int>(byte));
}

QString clockText(std::uint8_t byte)
{
    const int hundredths = byte * 5;
    const int whole = hundredths / 100;
    const int rest = hundredths % 100;
    if (rest == 0)
        return QString::number(whole);
    if (rest % 10 == 0)
        return QStringLiteral("%1,%2").arg(whole).arg(rest / 10);
    return QStringLiteral("%1,%2").arg(whole).arg(rest, 2, 10, QLatin1Char('0'));
}

QString capacityText(std::uint8_t byte)
{
    return QString::number(capacityByte(byte));
}

int chipIndex(std::uint8_t code)
{
    return code < ChipCount ? code : -1;
}

Screenful decode(const NodeReport &report)
{
    Screenful shown;
    for (int edit = 0; edit < EditCount; ++edit) {
        const std::uint8_t byte = report[offsetOfEdit(edit)];
        shown.edits[edit] = isClockEdit(edit) ? clockText(byte) : decimalText(byte);
    }
    shown.capacity = capacityText(report[Report::MaxUniverses]);
    shown.chip = chipIndex(report[Report::OutputType]);
    return shown;
}

std::optional<QString> formFailure(const EditTexts &texts)
{
    for (const QString &text : texts) {
        if (text.isEmpty())
            return french("Veuillez remplir tous les champs");
    }
    if (decimalValue(texts[HostOctetEdit]) < LowestHost)
        return french("L'adresse IP minimum est .15");
    const std::optional<QString> spi1 =
        clockFailure(texts[Spi1ClockEdit], "SPI1 Freq trop bas", "SPI1 Freq trop haut");
    if (!spi1 || !spi1->isEmpty())
        return spi1;
    return clockFailure(texts[Spi2ClockEdit], "SPI2 Freq trop bas", "SPI2 Freq trop haut");
}

QString unitFailure(const QString &numberText, bool curtain)
{
    if (numberText.isEmpty())
        return french(curtain ? "Aucun numéro de rideau" : "Aucun numéro de costume");
    if (decimalValue(numberText) > LargestUnit)
        return french(curtain ? "Impossible d'ajouter plus de rideau"
                              : "Impossible d'ajouter plus de costume");
    return {};
}

NodeReport sendReport(const NodeReport &buffer, const EditTexts &texts, int chipIndex,
                      const QString &capacityLabel)
{
    NodeReport report = buffer;
    report[Report::Command] = cmdWriteConfig;
    for (int edit = 0; edit < EditCount; ++edit) {
        report[offsetOfEdit(edit)] = isClockEdit(edit)
            ? static_cast<std::uint8_t>(*clockMicroMhz(texts[edit]) / MicroPerStep)
            : decimalByte(texts[edit]);
    }
    report[Report::OutputType] = static_cast<std::uint8_t>(chipIndex & 0xFF);
    report[Report::MaxUniverses] = decimalByte(capacityLabel);
    return report;
}

NodeReport factoryReport(std::uint8_t oldCapacityByte)
{
    NodeReport report = unitBase(FactoryHost, ChipLpd6803, ClockCurtain, oldCapacityByte);
    putPatch(report, Report::Spi1Patch, {1, 2, 3, 4, 5, 6, 7, 8});
    if (capacityByte(oldCapacityByte) == LargeCapacity)
        putPatch(report, Report::Spi2Patch, {9, 10, 11, 12, 13, 14, 15, 16});
    return report;
}

NodeReport curtainReport(long long number, int size, std::uint8_t oldCapacityByte)
{
    NodeReport report =
        unitBase(unitHost(number), ChipLpd6803, ClockCurtain, oldCapacityByte);
    // Slots 1 and 2 always; 3 and 4 unless 2X1; 5 for 4X2 only.
    putPatch(report, Report::Spi1Patch, {1, 2});
    if (size != 0)
        putPatch(report, Report::Spi1Patch + 2, {3, 4});
    if (size == 2)
        putPatch(report, Report::Spi1Patch + 4, {5});
    return report;
}

NodeReport costumeReport(long long number, std::uint8_t oldCapacityByte)
{
    NodeReport report =
        unitBase(unitHost(number), ChipUcs1912, ClockCostume, oldCapacityByte);
    putPatch(report, Report::Spi1Patch, {1, 2, 3, 4});
    putPatch(report, Report::Spi2Patch, {5, 6, 7, 8});
    return report;
}

} // namespace Oracle

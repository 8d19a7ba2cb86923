#include "protocol/encoding.h"

#include "protocol/nodereport.h"

#include <QString>

#include <cmath>

namespace {

constexpr int DecimalBase = 10;
constexpr double StepsPerMhz = 20.0;
constexpr char FrequencyFormat = 'g';
constexpr int FrequencyPrecision = 6;
constexpr std::uint8_t CapacityIgnoredBit = 0x08;
constexpr double ByteModulus = 256.0;

// Low 8 bits of an integral double, as two's complement would keep them;
// safe for any magnitude, where a cast to an integer type would not be.
std::uint8_t lowByteOf(double integral)
{
    if (!std::isfinite(integral))
        return 0;
    double rest = std::fmod(integral, ByteModulus);
    if (rest < 0)
        rest += ByteModulus;
    return static_cast<std::uint8_t>(rest);
}

} // namespace

long long decimalTextToInteger(const QString &text)
{
    bool ok = false;
    const long long value = text.toLongLong(&ok, DecimalBase);
    return ok ? value : 0;
}

std::uint8_t decimalTextToByte(const QString &text)
{
    return static_cast<std::uint8_t>(decimalTextToInteger(text));
}

QString byteToDecimalText(std::uint8_t value)
{
    return QString::number(value);
}

QString frequencyByteToText(std::uint8_t value)
{
    // QString::number always formats with the C locale, so the point is
    // replaced whatever the user's locale.
    return QString::number(value / StepsPerMhz, FrequencyFormat, FrequencyPrecision)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

QString withDecimalPoint(QString text)
{
    return text.replace(QLatin1Char(','), QLatin1Char('.'));
}

double frequencyTextToMhz(const QString &text)
{
    // QString::toDouble parses with the C locale; failure gives 0.0. "nan"
    // parses but is no frequency, and would slip past every range check.
    const double mhz = withDecimalPoint(text).toDouble();
    return std::isnan(mhz) ? 0.0 : mhz;
}

std::uint8_t frequencyTextToByte(const QString &text)
{
    return lowByteOf(std::trunc(frequencyTextToMhz(text) * StepsPerMhz));
}

int capacityFromByte(std::uint8_t value)
{
    return (value & ~CapacityIgnoredBit) == 0 ? SmallCapacity : LargeCapacity;
}

std::uint8_t capacityByteFor(std::uint8_t oldValue)
{
    return static_cast<std::uint8_t>(capacityFromByte(oldValue));
}

#pragma once

#include "protocol/nodereport.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// What the tool must show and send, worked out a second time from the rules
// alone: exact integer arithmetic where the tool uses doubles, the preset
// tables written out again, the form's field order and messages spelled out.
// Nothing here calls the tool's encoders, checks or presets, so that the
// soak can compare the tool with it.
namespace Oracle {

constexpr int EditCount = 31;
constexpr int HostOctetEdit = 3;
constexpr int Spi1ClockEdit = 12;
constexpr int Spi2ClockEdit = 13;
using EditTexts = std::array<QString, EditCount>;

// The report byte behind each configuration edit, in the form's order
// (ipa1..ipa4, ipm1..ipm4, ipb1..ipb4, spi1freq, spi2freq, spi1p1..spi1p8,
// spi2p1..spi2p8, offset).
std::size_t offsetOfEdit(int edit);
bool isClockEdit(int edit);

// A base-10 integer text as the tool reads it: blanks around it and a sign
// allowed, anything else (or an overflow) reads as 0.
long long decimalValue(const QString &text);
std::uint8_t decimalByte(const QString &text);

// An exactly read clock text, "," or "." as separator, as a count of
// millionths of a MHz; empty when the text is no plain decimal number.
std::optional<long long> clockMicroMhz(const QString &text);

QString decimalText(std::uint8_t byte);
QString clockText(std::uint8_t byte);
QString capacityText(std::uint8_t byte);
// The chip list's index for a chip code: -1 (none) past the eight chips.
int chipIndex(std::uint8_t code);

// What the refresh must put on screen for a decoded report.
struct Screenful {
    EditTexts edits;
    QString capacity;
    int chip = 0;
};
Screenful decode(const NodeReport &report);

// The form's check: the French message of its first failure, or an empty
// string; nothing when the check reaches a clock text the oracle does not
// model (an exponent, "inf").
std::optional<QString> formFailure(const EditTexts &texts);
QString unitFailure(const QString &numberText, bool curtain);

// The report a send must write: the buffer with command 1 and bytes 1..33
// taken from the form, bytes 34..63 as they were. Only for a form that
// passed its check.
NodeReport sendReport(const NodeReport &buffer, const EditTexts &texts, int chipIndex,
                      const QString &capacityLabel);
NodeReport factoryReport(std::uint8_t oldCapacityByte);
NodeReport curtainReport(long long number, int size, std::uint8_t oldCapacityByte);
NodeReport costumeReport(long long number, std::uint8_t oldCapacityByte);

} // namespace Oracle

#pragma once

#include <cstdint>

class QString;

// Conversions between report bytes and the texts of the window's fields.
// They never depend on the user's locale: numbers are formatted and parsed
// with a decimal point, and the window's decimal comma is swapped in and out.

// Base-10 text to byte: text that does not parse gives 0; low 8 bits kept.
std::uint8_t decimalTextToByte(const QString &text);
// Integer value of a base-10 text, 0 when it does not parse.
long long decimalTextToInteger(const QString &text);
QString byteToDecimalText(std::uint8_t value);

// Clock byte (50 kHz steps) to MHz text with a decimal comma: 16 gives "0,8".
QString frequencyByteToText(std::uint8_t value);
// MHz text, comma or point, to clock byte: times 20, truncated, low 8 bits.
std::uint8_t frequencyTextToByte(const QString &text);
// MHz text, comma or point, as a number; 0.0 when it does not parse.
double frequencyTextToMhz(const QString &text);
// Every decimal comma made a point.
QString withDecimalPoint(QString text);

// Capacity code to universe count: 8 when the byte without bit 3 is zero.
int capacityFromByte(std::uint8_t value);
// The capacity code the fixed commands write for a node whose old code is given.
std::uint8_t capacityByteFor(std::uint8_t oldValue);

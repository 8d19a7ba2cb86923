#pragma once

#include "protocol/fieldmap.h"

#include <QString>

#include <array>

// What the window's fields let the user type: whole numbers 0..255 in the
// byte fields, at most two decimals in the clock fields. The clock range is
// the one the send's check enforces.
constexpr int ByteFieldMin = 0;
constexpr int ByteFieldMax = 255;
constexpr int ClockDecimals = 2;
constexpr double LowestClockMhz = 0.05;
constexpr double HighestClockMhz = 12.75;

using ConfigTexts = std::array<QString, Slot::EditCount>;

// Checks the texts of the 31 configuration edits, indexed by display slot,
// in that order. Returns the French message of the first failed check, or
// an empty string when every check passes.
QString configurationFailure(const ConfigTexts &texts);

// The two series of units the tool can set up one after another.
enum class UnitKind { Curtain, Costume };

// Checks a unit number's text; returns the failure message or an empty string.
QString unitNumberFailure(const QString &text, UnitKind kind);

// Largest unit number: unit N gets the host octet N + 14, at most 255.
constexpr int LargestUnitNumber = 241;

#pragma once

#include "series/serieslog.h"

#include <cstddef>
#include <limits>
#include <map>
#include <optional>
#include <vector>

// The unit numbers a series log holds, each with the row that holds it:
// its last verified row, or else a reservation that no result followed (a
// node another program is writing, or one whose program stopped before its
// result was stored). A held number is not given again unless asked for.
using HeldNumbers = std::map<int, SeriesRow>;

// The numbers that rows[begin, end) hold.
HeldNumbers heldNumbers(const std::vector<SeriesRow> &rows, std::size_t begin = 0,
                        std::size_t end = std::numeric_limits<std::size_t>::max());
// The number after the highest one held, if any.
std::optional<int> numberAfter(const HeldNumbers &held);
// The reservations that no result followed, by number.
std::vector<SeriesRow> unfinishedReservations(const HeldNumbers &held);
// How the row holds its number, for a message: "vérifié le 30/04/2024
// 10:01:00" or "réservé le 30/04/2024 10:01:00 sans résultat".
QString holdingText(const SeriesRow &row);
// "Le journal « L » tient déjà le rideau 6 (2.0.0.20), vérifié le …, ligne 9".
QString heldNumberText(const QString &logPath, const QString &unitName, const SeriesRow &row);

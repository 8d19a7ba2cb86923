#include "series/heldnumbers.h"

#include "app/messages.h"

#include <algorithm>

namespace {

const QString HeldTimeFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");

} // namespace

HeldNumbers heldNumbers(const std::vector<SeriesRow> &rows, std::size_t begin, std::size_t end)
{
    HeldNumbers verified;
    HeldNumbers reserved;
    for (std::size_t index = begin; index < std::min(end, rows.size()); ++index) {
        const SeriesRow &row = rows[index];
        if (row.verified())
            verified[row.number] = row;
        if (row.reservation())
            reserved[row.number] = row;
        else if (row.endsReservation())
            reserved.erase(row.number);
    }
    // A verified row names the unit better than a later reservation of it.
    verified.insert(reserved.begin(), reserved.end());
    return verified;
}

std::optional<int> numberAfter(const HeldNumbers &held)
{
    if (held.empty())
        return std::nullopt;
    return held.rbegin()->first + 1;
}

std::vector<SeriesRow> unfinishedReservations(const HeldNumbers &held)
{
    std::vector<SeriesRow> unfinished;
    for (const auto &entry : held) {
        if (entry.second.reservation())
            unfinished.push_back(entry.second);
    }
    return unfinished;
}

QString holdingText(const SeriesRow &row)
{
    const QString time = row.time.toString(HeldTimeFormat);
    return row.reservation() ? QStringLiteral("réservé le %1 sans résultat").arg(time)
                             : QStringLiteral("vérifié le %1").arg(time);
}

QString heldNumberText(const QString &logPath, const QString &unitName, const SeriesRow &row)
{
    return QStringLiteral("Le journal %1 tient déjà le %2 (%3), %4, ligne %5")
        .arg(quoted(logPath), unitName, row.address, holdingText(row))
        .arg(row.line);
}

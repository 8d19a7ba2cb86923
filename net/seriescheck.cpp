#include "net/seriescheck.h"

#include "net/nodeconflicts.h"
#include "protocol/presets.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

namespace {

using Universes = std::set<int>;

Universes shifted(const std::vector<int> &numbers, int by)
{
    Universes result;
    for (const int number : numbers)
        result.insert(number + by);
    return result;
}

// Reported port-addresses match the preset's numbers counted from 0 (as
// they are) or from 1 (one less).
bool universesMatch(const std::vector<int> &expected, const std::vector<int> &reported)
{
    const Universes seen(reported.begin(), reported.end());
    return seen == shifted(expected, 0) || seen == shifted(expected, -1);
}

bool isDuplicate(const std::vector<NodeConflict> &conflicts, const QHostAddress &address)
{
    return std::any_of(conflicts.begin(), conflicts.end(),
                       [&](const NodeConflict &conflict) { return conflict.address == address; });
}

UnitCheck checkUnit(const LoggedUnit &unit, const std::vector<SeenNode> &nodes,
                    const std::vector<NodeConflict> &conflicts)
{
    UnitCheck check;
    check.unit = unit;
    const QHostAddress address(unit.address);
    for (const SeenNode &node : nodes) {
        if (node.gone || node.address != address)
            continue;
        check.seen = true;
        for (const int universe : node.universes()) {
            if (std::find(check.reported.begin(), check.reported.end(), universe)
                == check.reported.end())
                check.reported.push_back(universe);
        }
    }
    check.duplicate = isDuplicate(conflicts, address);
    check.kindKnown = unit.kind.has_value();
    if (check.kindKnown) {
        check.expected = presetUniverses(*unit.kind, unit.size);
        check.universesMatch = !check.seen || universesMatch(check.expected, check.reported);
    }
    return check;
}

} // namespace

bool SeriesCheck::allConsistent() const
{
    return std::all_of(units.begin(), units.end(), [](const UnitCheck &check) {
        return check.seen && !check.duplicate && check.universesMatch;
    });
}

int SeriesCheck::extraNodeCount() const
{
    std::set<std::pair<quint32, QString>> nodes;
    for (const SeenNode &extra : extraNodes)
        nodes.emplace(extra.address.toIPv4Address(), extra.reply.macText());
    return static_cast<int>(nodes.size());
}

std::vector<int> SeriesCheck::missingNumbers() const
{
    std::vector<int> numbers;
    for (const UnitCheck &check : units) {
        if (!check.seen)
            numbers.push_back(check.unit.number);
    }
    return numbers;
}

std::vector<QString> SeriesCheck::duplicateAddresses() const
{
    std::vector<QString> addresses;
    for (const UnitCheck &check : units) {
        if (check.duplicate)
            addresses.push_back(check.unit.address);
    }
    return addresses;
}

std::vector<int> presetUniverses(UnitKind kind, int size)
{
    const NodeReport preset = kind == UnitKind::Curtain ? curtainReport(1, size, LargeCapacity)
                                                        : costumeReport(1, LargeCapacity);
    std::vector<int> universes;
    for (const std::size_t first : {Report::Spi1Patch, Report::Spi2Patch}) {
        for (std::size_t slot = 0; slot < Report::PatchSlots; ++slot) {
            if (preset[first + slot] != 0)
                universes.push_back(preset[first + slot] + preset[Report::UniverseOffset]);
        }
    }
    return universes;
}

std::vector<LoggedUnit> loggedUnits(const std::vector<SeriesRow> &rows)
{
    std::map<int, LoggedUnit> byNumber;
    for (const SeriesRow &row : rows) {
        if (row.verified())
            byNumber[row.number] = {row.number, row.address, row.kind, row.size};
    }
    std::vector<LoggedUnit> units;
    for (const auto &entry : byNumber)
        units.push_back(entry.second);
    return units;
}

SeriesCheck checkSeries(const std::vector<LoggedUnit> &units, const std::vector<SeenNode> &nodes)
{
    const std::vector<NodeConflict> conflicts = findConflicts(nodes);
    SeriesCheck result;
    std::vector<QHostAddress> logged;
    for (const LoggedUnit &unit : units) {
        result.units.push_back(checkUnit(unit, nodes, conflicts));
        logged.push_back(QHostAddress(unit.address));
    }
    for (const SeenNode &node : nodes) {
        if (!node.gone && std::find(logged.begin(), logged.end(), node.address) == logged.end())
            result.extraNodes.push_back(node);
    }
    return result;
}

#include "net/seriescheck.h"

bool SeriesCheck::allConsistent() const
{
    return false;
}

std::vector<int> SeriesCheck::missingNumbers() const
{
    return {};
}

std::vector<QString> SeriesCheck::duplicateAddresses() const
{
    return {};
}

std::vector<int> presetUniverses(UnitKind, int)
{
    return {};
}

SeriesCheck checkSeries(const std::vector<LoggedUnit> &, const std::vector<SeenNode> &)
{
    return {};
}

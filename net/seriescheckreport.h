#pragma once

#include "net/seriescheck.h"

#include <QString>
#include <QStringList>

// A series check as the tools report it, one line per unit of the log, then
// one per node outside it, then the counts: what `nodeconfig-cli network
// --check` prints and what the network window shows.
QStringList seriesCheckLines(const SeriesCheck &check);

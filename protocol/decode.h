#pragma once

#include "protocol/nodereport.h"

#include <QString>

#include <array>

using FieldTexts = std::array<QString, 64>;

// Turns bytes 1..33 of a report into field texts and a chip code; reads
// nothing else of the report.
void decodeFields(const NodeReport &report, FieldTexts &fields, int &chipCode);

// Decodes into DisplayFields and outputTypeIndex, then raises dataReady.
void decodeReport(const NodeReport &report);

// Encodes field texts and a chip code into bytes 1..33 of a report.
void encodeFields(const FieldTexts &fields, int chipCode, NodeReport &report);

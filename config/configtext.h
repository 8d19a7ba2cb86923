#pragma once

#include "app/messages.h" // quoted(), for the messages these texts go into
#include "config/fieldtable.h"
#include "protocol/nodereport.h"

#include <QString>
#include <QStringList>

// A configuration as text, with the window's captions and its way of
// showing each value (decimal comma for the clocks).

// One field per line, "Caption : value", the capacity last.
QStringList configurationLines(const NodeReport &report);

// One field's value as `show` prints it.
QString fieldText(const FieldSpec &field, const NodeReport &report);

// The node's address, a.b.c.d.
QString addressText(const NodeReport &report);

// The fields (bytes 1..32) where a read-back differs from what was written,
// as "Caption : écrit X, relu Y".
QStringList differenceLines(const NodeReport &written, const NodeReport &readBack);

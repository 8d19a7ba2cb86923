#pragma once

#include "config/fieldtable.h"
#include "protocol/decode.h"
#include "protocol/nodereport.h"

#include <cstdint>

// A configuration as the window's form holds it: one text per edit, the
// chip code apart, and the bytes the form does not show (reserved bytes,
// and the capacity its label shows). Values go in as a user would type
// them; the form's own checks then decide whether it may be written.
class ConfigForm
{
public:
    // The form showing a node's configuration, as the window shows it
    // after reading the node.
    explicit ConfigForm(const NodeReport &current = NodeReport{});

    // Puts a value into a field, refused where the window's edit would not
    // let it be typed. Returns what is wrong with it, or an empty string.
    QString assign(const FieldSpec &field, const QString &value);

    // Reserved bytes 34..63 taken from another report.
    void setReserved(const NodeReport &source);
    // The capacity the form's label shows: 8 or 16.
    void setCapacity(int universes);

    // The window's checks before a send, then the clock steps: the first
    // failure, or an empty string.
    QString failure() const;

    // The command-1 report a send of this form writes.
    NodeReport report() const;

private:
    FieldTexts texts;
    int chipCode = 0;
    NodeReport base{};
};

// The chip code of an output type name, case ignored; -1 when unknown.
int chipCodeOf(const QString &name);

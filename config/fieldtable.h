#pragma once

#include <QString>

#include <optional>
#include <vector>

// The configuration's fields as the command-line tool names them. Each
// covers one or more display slots of the window's form; the chip is held
// apart, as the window holds it in its list.
enum class FieldKind {
    Address, // four octets, written a.b.c.d
    Byte,    // one whole number 0..255
    Clock,   // MHz, decimal comma or point
    Patch,   // eight whole numbers 0..255, comma-separated
    Chip,    // an output type name
};

struct FieldSpec {
    QString name;    // as `set` takes it
    QString fileKey; // as the configuration file holds it (empty: not in the file)
    QString caption; // the window's caption
    FieldKind kind;
    int firstSlot;
    int slotCount;
};

// The configuration in the window's order of captions.
const std::vector<FieldSpec> &namedFields();

// A field by its `set` name, its file key or the object name of one of the
// window's edits (ipa4, spi2p3, ...); case does not matter.
std::optional<FieldSpec> findField(const QString &name);

// Every name `set` takes, for messages and help.
QStringList fieldNames();

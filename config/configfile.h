#pragma once

#include "config/configform.h"
#include "protocol/nodereport.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The configuration file of `save` and `load`: a JSON object with the
// named fields, the capacity, the reserved bytes as hex (so that a restore
// is exact) and a format version.
namespace ConfigFile {

constexpr int FormatVersion = 1;

QByteArray toJson(const NodeReport &report);

struct Parsed {
    std::optional<ConfigForm> form; // set when the file passed every check
    int capacity = 0;               // the capacity of the node it was saved from
    QString failure;                // otherwise: what is wrong, in French
};

// Checks a file's content as strictly as the window checks its form, plus
// types, ranges and unknown keys.
Parsed fromJson(const QByteArray &json);
// Reads and checks a file; a missing or unreadable file is a failure too.
Parsed read(const QString &path);

// Writes a configuration's file whole or not at all: whatever goes wrong,
// an existing file stays as it was. Returns what went wrong, in French, or
// an empty string.
QString write(const QString &path, const NodeReport &report);

} // namespace ConfigFile

#pragma once

#include <QString>

// A node as the last enumeration found it: its transport number (valid
// until the next enumeration), its path and its serial number.
struct PluggedNode {
    int device = -1;
    QString path;
    QString serial; // empty when the node reports none

    bool sameAs(const PluggedNode &other) const
    {
        return path == other.path && serial == other.serial;
    }
    QString label() const
    {
        return serial.isEmpty() ? path + QStringLiteral(" (sans numéro de série)")
                                : path + QStringLiteral(" (série %1)").arg(serial);
    }
};

#pragma once

#include "config/configform.h"
#include "config/fieldtable.h"

#include <QString>
#include <QStringList>

#include <vector>

// The FIELD=VALUE arguments of `set`: each changes one field of the node's
// current configuration.
struct FieldAssignment {
    FieldSpec field;
    QString name; // as the user wrote it
    QString value;
};

struct ParsedAssignments {
    std::vector<FieldAssignment> assignments;
    QString failure; // what is wrong with the arguments, in French
};

// Checks names and values on their own, before any node is read: unknown
// fields and values that the window's edits would not take are refused.
ParsedAssignments parseAssignments(const QStringList &arguments);

// Puts the values into a form; returns the first failure or an empty string.
QString applyAssignments(const std::vector<FieldAssignment> &assignments, ConfigForm &form);

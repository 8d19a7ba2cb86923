#pragma once

#include "cli/programreference.h"

#include <QString>

// A program's --help, in French, from its reference: the usage, the
// commands, the options and the exit statuses, each description in a column
// of its own.
QString helpText(const ProgramReference &reference);

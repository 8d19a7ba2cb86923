#pragma once

#include "cli/programreference.h"

#include <QString>

// A program's manual page (man(7) macros, section 1), in French, from the
// reference its --help is printed from: the same commands, options and exit
// statuses, with the version it documents and its date (may be empty).
QString manPage(const ProgramReference &reference, const QString &version,
                const QString &date = QString());

#pragma once

#include "cli/programreference.h"

#include <optional>

// Answers --help and --version (anywhere among a program's arguments) on
// standard output, before anything else is made: no window, no display,
// no node. Returns the exit status when one was answered, nullopt otherwise.
std::optional<int> answerInformationOption(int argc, char **argv, const ProgramReference &reference);

// Whether the option is among the program's arguments.
bool hasOption(int argc, char **argv, const QString &option);

#pragma once

#include <QStringList>

// The names a user picks from, shared by the window's lists and the
// command-line tool: the output types, indexed by chip code, and the curtain
// sizes, indexed by size.
const QStringList &chipNames();
const QStringList &curtainSizeNames();

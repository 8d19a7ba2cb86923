#pragma once

#include <QString>

// The version of nodeconfig, as CMake's project() gives it: "1.0.0".
QString programVersion();
// What --version prints: "nodeconfig 1.0.0" and, on the next line, the
// version of the Qt the program runs on.
QString versionText();

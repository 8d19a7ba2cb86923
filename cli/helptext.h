#pragma once

#include <QString>

// nodeconfig-cli --help, in French.
QString helpText();

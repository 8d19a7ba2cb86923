#pragma once

#include "cli/clioutput.h"

// Lines in UTF-8 on standard output and standard error, flushed at once,
// whatever the locale's character set.
class StdioOutput : public CliOutput
{
public:
    void print(const QString &line) override;
    void note(const QString &line) override;
};

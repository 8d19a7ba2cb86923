#pragma once

#include "link/lineoutput.h"

// Lines in UTF-8 on standard output and standard error, flushed at once,
// whatever the locale's character set.
class StdioOutput : public LineOutput
{
public:
    void print(const QString &line) override;
    void note(const QString &line) override;
};

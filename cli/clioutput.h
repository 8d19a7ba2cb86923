#pragma once

#include <QString>

// Where the tool's lines go: results on one side (standard output), and
// prompts, warnings and errors on the other (standard error), so that a
// script can read the results alone.
class CliOutput
{
public:
    virtual ~CliOutput() = default;
    virtual void print(const QString &line) = 0;
    virtual void note(const QString &line) = 0;
};

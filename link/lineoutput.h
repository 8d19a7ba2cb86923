#pragma once

#include <QString>

// Where a command's or a series' lines go: results on one side, and
// prompts, warnings and errors on the other. The console tool prints them
// to standard output and standard error, so that a script can read the
// results alone; the series window shows them.
class LineOutput
{
public:
    virtual ~LineOutput() = default;
    virtual void print(const QString &line) = 0;
    virtual void note(const QString &line) = 0;
};

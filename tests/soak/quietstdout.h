#pragma once

// Sends standard output to nowhere while the object lives: the tool's hex
// dumps and error lines of thousands of exchanges would bury the test log.
class QuietStdout
{
public:
    QuietStdout();
    ~QuietStdout();
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int savedStdout;
};

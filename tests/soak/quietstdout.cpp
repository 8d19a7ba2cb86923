#include "soak/quietstdout.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QuietStdout::QuietStdout()
{
    std::fflush(stdout);
    savedStdout = dup(STDOUT_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDOUT_FILENO);
    close(nowhere);
}

QuietStdout::~QuietStdout()
{
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
}

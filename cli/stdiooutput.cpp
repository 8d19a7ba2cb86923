#include "cli/stdiooutput.h"

#include "app/platform.h"
#include "link/stoprequest.h"

#include <cstdio>

namespace {

// A line that cannot be written means no one reads any more (a closed
// pipe or terminal): the command then ends as on Ctrl+C, after what it has
// under way, instead of dying in the middle of it.
void writeLine(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if (!writeConsoleText(stream, bytes.constData(), static_cast<std::size_t>(bytes.size())))
        requestStop();
}

} // namespace

void StdioOutput::print(const QString &line)
{
    writeLine(stdout, line);
}

void StdioOutput::note(const QString &line)
{
    writeLine(stderr, line);
}

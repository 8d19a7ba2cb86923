#include "cli/stdiooutput.h"

#include "app/platform.h"

#include <cstdio>

namespace {

void writeLine(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    writeConsoleText(stream, bytes.constData(), static_cast<std::size_t>(bytes.size()));
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

#include "cli/stdiooutput.h"

#include <cstdio>

namespace {

void writeLine(std::FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
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

#include "fuzzcheck.h"

#include <cstdio>
#include <cstdlib>

void fuzzCheck(bool holds, const char *property, const QString &details)
{
    if (holds)
        return;
    const QByteArray text = details.toUtf8();
    std::fprintf(stderr, "nodeconfig fuzz finding: %s\n", property);
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}

QString fuzzQuoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

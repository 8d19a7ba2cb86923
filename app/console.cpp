#include "app/console.h"

#include "app/platform.h"

#include <QByteArray>

#include <cstdarg>
#include <cstdio>

void consolePrint(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length > 0) {
        QByteArray text(length, '\0');
        std::vsnprintf(text.data(), static_cast<std::size_t>(length) + 1, format, args);
        writeConsoleText(stdout, text.constData(), static_cast<std::size_t>(length));
    }
    va_end(args);
}

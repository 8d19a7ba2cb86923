#include "app/platform.h"

#include <QString>
#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#if defined(Q_OS_WIN)

namespace {

bool hasStandardOutput()
{
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

// The console behind a stream, or nullptr when it goes to a file or a pipe.
HANDLE consoleOf(std::FILE *stream)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

} // namespace

void attachParentConsole()
{
    if (hasStandardOutput() || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
}

void writeConsoleText(std::FILE *stream, const char *text, std::size_t size)
{
    if (const HANDLE console = consoleOf(stream)) {
        std::fflush(stream);
        const std::wstring wide =
            QString::fromUtf8(text, static_cast<int>(size)).toStdWString();
        DWORD written = 0;
        WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    // Text mode would turn each "\n" into "\r\n" in files and pipes.
    _setmode(_fileno(stream), _O_BINARY);
    std::fwrite(text, 1, size, stream);
    std::fflush(stream);
}

#else

void attachParentConsole()
{
}

void writeConsoleText(std::FILE *stream, const char *text, std::size_t size)
{
    std::fwrite(text, 1, size, stream);
    std::fflush(stream);
}

#endif

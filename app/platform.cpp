#include "app/platform.h"

#include <QString>
#include <QtGlobal>

#if defined(Q_OS_WIN)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
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

bool writeConsoleText(std::FILE *stream, const char *text, std::size_t size)
{
    if (const HANDLE console = consoleOf(stream)) {
        std::fflush(stream);
        const std::wstring wide =
            QString::fromUtf8(text, static_cast<int>(size)).toStdWString();
        DWORD written = 0;
        return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) != 0 &&
               written == wide.size();
    }
    // Text mode would turn each "\n" into "\r\n" in files and pipes.
    _setmode(_fileno(stream), _O_BINARY);
    const bool whole = std::fwrite(text, 1, size, stream) == size;
    return std::fflush(stream) == 0 && whole;
}

namespace {

void (*endCallback)() = nullptr;
HANDLE endDone = nullptr;
// Longer than the system's own limit, which ends the process first.
constexpr DWORD EndWaitLimitMs = 20000;

BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (endCallback != nullptr)
        endCallback();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT)
        return TRUE;
    // The console closed, the user logging off, shutdown: returning lets the
    // system end the process, so wait until the work under way is done.
    WaitForSingleObject(endDone, EndWaitLimitMs);
    return TRUE;
}

// A process that has loaded user32 (Qt Core does) is not told of logging off
// or shutdown through its console handler: the system asks its top-level
// windows instead, and Qt's own window is a message-only one that is not
// asked. This hidden window, on a thread of its own, hears them.
LRESULT CALLBACK onSessionMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYENDSESSION) {
        if (endCallback != nullptr)
            endCallback();
        return TRUE;
    }
    if (message == WM_ENDSESSION) {
        // The process ends once this returns when the session does end.
        if (wParam != FALSE) {
            if (endCallback != nullptr)
                endCallback();
            WaitForSingleObject(endDone, EndWaitLimitMs);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI watchSessionEnd(LPVOID)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = onSessionMessage;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"nodeconfigSessionEnd";
    if (RegisterClassW(&windowClass) == 0 ||
        CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                        nullptr, windowClass.hInstance, nullptr) == nullptr)
        return 0;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

} // namespace

void installEndHandlers(void (*onEnd)())
{
    endCallback = onEnd;
    if (endDone == nullptr) {
        endDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (const HANDLE watcher = CreateThread(nullptr, 0, watchSessionEnd, nullptr, 0, nullptr))
            CloseHandle(watcher);
    }
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void endHandled()
{
    if (endDone != nullptr)
        SetEvent(endDone);
}

bool syncToDisk(int descriptor)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) != 0;
}

// Windows leaves undefined which of the sockets sharing a port gets a
// unicast datagram; broadcasts reach them all.
QString sharedUdpPortDelivery()
{
    return QStringLiteral("sous Windows, chaque réponse adressée à cet ordinateur ne parvient "
                          "qu'à l'un des deux programmes, sans règle connue, et l'autre la perd ; "
                          "seules les réponses diffusées à tout le réseau parviennent aux deux");
}

#else

void attachParentConsole()
{
}

bool writeConsoleText(std::FILE *stream, const char *text, std::size_t size)
{
    const bool whole = std::fwrite(text, 1, size, stream) == size;
    return std::fflush(stream) == 0 && whole;
}

namespace {

void (*endCallback)() = nullptr;

void onEndSignal(int)
{
    if (endCallback != nullptr)
        endCallback();
}

} // namespace

void installEndHandlers(void (*onEnd)())
{
    endCallback = onEnd;
    struct sigaction action {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    // A read or a wait that the signal interrupts goes on; the loops look
    // at the flag.
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

void endHandled()
{
}

bool syncToDisk(int descriptor)
{
    return ::fsync(descriptor) == 0;
}

// Linux gives a unicast datagram on a shared port to the socket bound last
// alone; broadcasts reach them all.
QString sharedUdpPortDelivery()
{
    return QStringLiteral("sous Linux, chaque réponse adressée à cet ordinateur ne parvient "
                          "qu'au programme qui a ouvert le port en dernier, nodeconfig, et plus à "
                          "l'autre ; seules les réponses diffusées à tout le réseau parviennent "
                          "aux deux");
}

#endif

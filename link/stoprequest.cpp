#include "link/stoprequest.h"

#include "app/platform.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t stopFlag = 0;

// Only a flag is set here: nothing else is safe in a signal handler.
void onStopSignal()
{
    stopFlag = 1;
}

} // namespace

void installStopHandlers()
{
    installEndHandlers(onStopSignal);
}

void stopHandled()
{
    endHandled();
}

bool stopRequested()
{
    return stopFlag != 0;
}

void requestStop()
{
    stopFlag = 1;
}

void clearStopRequest()
{
    stopFlag = 0;
}

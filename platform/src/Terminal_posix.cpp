#include "platform/Terminal.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace platform {
namespace {

std::atomic<bool> g_interrupted = false;
std::atomic<int> g_pending = 0;
const char *g_note = "";

// Only async-signal-safe calls here.
void onInterrupt(int signal)
{
    if (g_interrupted.exchange(true))
        _exit(128 + signal);
    g_pending = signal;
    [[maybe_unused]] ssize_t ignored = write(STDERR_FILENO, g_note, std::strlen(g_note));
}

} // namespace

bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void catchInterrupts(const char *note)
{
    g_note = note;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls go on: a read of the catalogue or a copy
    // must not fail because the user asked to stop.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested()
{
    return g_pending.load(std::memory_order_relaxed) != 0;
}

int takeInterruptRequest()
{
    return g_pending.exchange(0);
}

} // namespace platform

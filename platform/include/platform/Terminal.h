#pragma once
// Facts about the terminal a console program runs in.

namespace platform {

/// Whether standard error is an interactive terminal (not a file or pipe).
bool standardErrorIsTerminal();

/// Takes the interrupt and termination signals (Ctrl+C, kill) as requests
/// to stop: the first is noted for takeInterruptRequest and `note` (a text
/// that lives as long as the program) goes to standard error; a second ends
/// the process at once, with status 128 + its number, committing nothing
/// and saving nothing.
void catchInterrupts(const char *note);
/// The number of the signal that asked to stop since the last call; 0: none.
int takeInterruptRequest();
/// Whether takeInterruptRequest would give a signal; cheaper.
bool interruptRequested();

} // namespace platform

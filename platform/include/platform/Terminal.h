#pragma once
// Facts about the terminal a console program runs in.

namespace platform {

/// Whether standard error is an interactive terminal (not a file or pipe).
bool standardErrorIsTerminal();

} // namespace platform

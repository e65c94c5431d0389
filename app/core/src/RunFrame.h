#pragma once
// The frame every run executes around its work: a beginning, the work, and
// an end that runs whether the work finishes or fails.

#include <functional>
#include <initializer_list>

namespace app {

/// Runs `begin` and `work`, then every step of `end`, each even when the
/// work or an earlier step failed, so the buttons always return to idle.
/// The first error is then shown in an error box (a silent abort shows
/// nothing). True when nothing failed.
bool runFramed(const std::function<void()> &begin, const std::function<void()> &work,
               std::initializer_list<std::function<void()>> end);

} // namespace app

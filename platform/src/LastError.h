#pragma once
// The reason for the last failed platform call on this thread, kept the way
// the system calls it stands in for keep theirs.

#include <string>

namespace platform::detail {

/// Records errno's current value and returns false, so failing paths can
/// end with `return failWithErrno();`.
bool failWithErrno();
bool failWith(int code);
void setLastError(std::string ansiText);

} // namespace platform::detail

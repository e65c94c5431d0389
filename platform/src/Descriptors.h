#pragma once
// Reading and writing through file descriptors, shared by the file object
// and the whole-file functions.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace platform::detail {

/// Writes until every byte is taken; false on an error, with errno set.
bool writeAll(int fd, const char *data, std::size_t size);
/// One read, retried when interrupted: the bytes read, 0 at the end, -1 on
/// an error, with errno set.
ssize_t readSome(int fd, char *buffer, std::size_t size);
/// The read-only attribute is the owner's missing write permission. Root
/// passes every permission check, so the bit is tested here, not left to
/// the kernel.
bool writable(const struct stat &info);

} // namespace platform::detail

#pragma once
// The system calls of the engine, retried where a signal interrupted them. They call the plain
// read and write symbols, so that a test binary linked with --wrap=read/--wrap=write sees them.
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane {

// read(), retried on EINTR: the byte count, 0 at the end of the file, or -1 with errno set.
ssize_t ReadRetry(int fd, void* buffer, std::size_t bytes);
// pread(), retried on EINTR.
ssize_t PreadRetry(int fd, void* buffer, std::size_t bytes, off_t offset);
// Up to `bytes` bytes from `offset`, as many as pread() gave in one call (fewer at the end of the
// file); empty on an error. For the samples the encoding and the filter are judged from.
std::string PreadSample(int fd, std::size_t bytes, off_t offset = 0);
// write() until every byte is written. False on an error or a write that took no byte.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace tolvane

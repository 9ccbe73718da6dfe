// Loaded into a command with LD_PRELOAD: once the command has written TOLVANE_SIGNAL_AFTER_BYTES
// bytes to files other than its standard output and error, it sends itself the signal
// TOLVANE_SIGNAL_NUMBER, once. The signal then comes at a known point of a search, part way
// through its results, however fast or loaded the machine is.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);

long long EnvNumber(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atoll(value) : 0;
}

std::atomic<long long> written{0};
std::atomic<bool> sent{false};

}  // namespace

extern "C" ssize_t write(int fd, const void* bytes, size_t count) {
  static const auto real = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  static const long long after = EnvNumber("TOLVANE_SIGNAL_AFTER_BYTES");
  static const int signal_number = static_cast<int>(EnvNumber("TOLVANE_SIGNAL_NUMBER"));
  const ssize_t done = real(fd, bytes, count);
  if (fd > STDERR_FILENO && done > 0 && signal_number > 0 &&
      written.fetch_add(done) + done >= after && !sent.exchange(true)) {
    ::kill(::getpid(), signal_number);
  }
  return done;
}

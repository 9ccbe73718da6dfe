#pragma once
// Faults the kernel gives rarely and on demand never: a read that fails with EIO part way through
// one file, and a hook that runs on the first write to a file. The test binary is linked with
// --wrap=read, --wrap=pread and --wrap=write, so every read and write of the engine passes through
// here; with nothing armed they go straight to the system.
#include <cstddef>
#include <functional>
#include <string>

namespace tolvane::testing {

// Reads of the file at `path` deliver `good_bytes` bytes in all, then fail with EIO. The sample
// the scan chooses its filter from counts too.
void FailReadsAfter(const std::string& path, std::size_t good_bytes);
// Runs `hook` once, just before the first write to a regular file (the new results file has no
// name to know it by while it is written).
void BeforeFirstWriteToAFile(std::function<void()> hook);
void ClearIoFaults();

// Disarms every fault when the test ends, passed or failed.
class IoFaultScope {
 public:
  IoFaultScope() = default;
  IoFaultScope(const IoFaultScope&) = delete;
  IoFaultScope& operator=(const IoFaultScope&) = delete;
  ~IoFaultScope() { ClearIoFaults(); }
};

}  // namespace tolvane::testing

#include "session/records_encoding.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "posix/io.h"

namespace tolvane {
EncodingVerdict DetectRecordsEncoding(int fd) {
  struct stat st {};
  const std::size_t size = ::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
  const std::string start = PreadSample(fd, kEncodingStartSampleBytes);
  std::vector<std::string> further;
  if (size > start.size()) {
    // Evenly spread over the rest, the last one ending where the file ends.
    const std::size_t rest = size - start.size();
    for (std::size_t k = 1; k <= kEncodingFurtherSamples; ++k) {
      const std::size_t end = start.size() + rest * k / kEncodingFurtherSamples;
      const std::size_t from = end > start.size() + kEncodingFurtherSampleBytes
                                   ? end - kEncodingFurtherSampleBytes
                                   : start.size();
      further.push_back(PreadSample(fd, end - from, static_cast<off_t>(from)));
    }
  }
  std::vector<std::string_view> views(further.begin(), further.end());
  // The last sample ends where the file does: its last line is whole.
  return DetectEncoding(start, views, !further.empty());
}

}  // namespace tolvane

#pragma once
// What a records file is written in, judged from samples of it: a byte-order mark decides at
// once; else each sampled line is classed by the encodings it is valid in, and the class most
// lines fall in is the file's. Pure ASCII is Shift-JIS, the program's own.
#include <span>
#include <string_view>

#include "encoding/text_encoding.h"

namespace tolvane {

struct EncodingVerdict {
  enum class Kind {
    kShiftJis,
    kUtf8,
    kEucJp,
    kUtf16,    // or UTF-32: NUL bytes between the characters
    kUnknown,  // more lines fit no encoding than fit any
  };
  Kind kind = Kind::kShiftJis;
  bool bom = false;          // a UTF-8 file that starts with a byte-order mark
  bool other_lines = false;  // some sampled lines are surely in another encoding

  bool Searchable() const { return kind != Kind::kUtf16 && kind != Kind::kUnknown; }
  // The file's encoding; Shift-JIS for a file that cannot be searched.
  TextEncoding Encoding() const;
};

// `start` holds the file's first bytes (the whole file when `further` is empty); each of `further`
// holds bytes from later in the file, whose cut-off first and last lines are not judged, but for
// the last line of the last one when `further_ends_file`.
EncodingVerdict DetectEncoding(std::string_view start, std::span<const std::string_view> further = {},
                               bool further_ends_file = false);

}  // namespace tolvane

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
    kUnknown,  // more lines fit no encoding than fit any: searched as Shift-JIS bytes
  };
  Kind kind = Kind::kShiftJis;
  bool bom = false;          // a UTF-8 file that starts with a byte-order mark
  bool other_lines = false;  // some sampled lines are surely in another encoding

  // Only UTF-16 and UTF-32 cannot be searched: a file in no known encoding (Windows-1252, Shift-JIS
  // with Mac's FD-FF bytes) is searched as Shift-JIS bytes.
  bool Searchable() const { return kind != Kind::kUtf16; }
  // The file's encoding; Shift-JIS for a file in no known encoding, or one that cannot be searched.
  TextEncoding Encoding() const;
};

// `start` holds the file's first bytes (the whole file when `further` is empty); each of `further`
// holds bytes from later in the file, whose cut-off first and last lines are not judged, but for
// the last line of the last one when `further_ends_file`.
// A line valid both as Shift-JIS and as UTF-8 is Shift-JIS unless its UTF-8 reading is plain
// text (Japanese, accented Latin, Korean) and its Shift-JIS reading is not; with
// `both_valid_shift_jis`, as for a file the program knows it wrote in Shift-JIS, always Shift-JIS.
EncodingVerdict DetectEncoding(std::string_view start,
                               std::span<const std::string_view> further = {},
                               bool further_ends_file = false, bool both_valid_shift_jis = false);

}  // namespace tolvane

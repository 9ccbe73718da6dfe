#pragma once
// CP932's twin codes: double-byte codes that glibc's CP932 decodes to one and the same character
// (NEC row 13 against the IBM extensions, the NEC-selected IBM kanji against the IBM kanji ...).
// The table is derived from iconv once per process, at first need, so that it always agrees with
// the converter that turns the query into Shift-JIS and the records into what the window shows.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tolvane {

// A double-byte code as its two bytes read big-endian: 0x8754 is lead 0x87, trail 0x54.
using DoubleByteCode = std::uint16_t;
// 0 stands for "no twin"; groups are numbered from 1.
using TwinGroup = std::uint16_t;
inline constexpr TwinGroup kNoTwin = 0;
inline constexpr std::size_t kDoubleByteCodes = 0x10000;

class Cp932Twins {
 public:
  // The one table of the process. When iconv has no CP932 the table is empty and every code
  // stands for itself alone.
  static const Cp932Twins& Get();

  TwinGroup GroupOf(unsigned char lead, unsigned char trail) const {
    return group_of_[static_cast<std::size_t>(lead) << 8 | trail];
  }
  // The codes of `group`, ascending; `group` must be one of 1..GroupCount().
  std::span<const DoubleByteCode> CodesOf(TwinGroup group) const;
  std::size_t GroupCount() const { return group_start_.size() - 1; }

 private:
  Cp932Twins();
  std::vector<TwinGroup> group_of_;    // kDoubleByteCodes entries
  std::vector<DoubleByteCode> codes_;  // the codes of group g at [start[g-1], start[g])
  std::vector<std::size_t> group_start_{0};
};

}  // namespace tolvane

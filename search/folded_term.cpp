#include "search/folded_term.h"

namespace tolvane {
namespace {

// Katakana before a final long-vowel mark that make it optional: サーバー is サーバ, カー stays.
constexpr std::size_t kRunBeforeOptionalMark = 3;

constexpr char32_t kKatakanaU = 0x30a6;   // ウ, which ウ゛ makes ヴ
constexpr char32_t kHiraganaVu = 0x3094;  // ゔ

// What ヴ and a small vowel after it make: ヴァ ヴィ ヴェ ヴォ as バ ビ ベ ボ.
constexpr std::pair<char32_t, char32_t> kVuWithVowel[] = {
    {0x30a1, 0x30d0},  // ァ バ
    {0x30a3, 0x30d3},  // ィ ビ
    {0x30a7, 0x30d9},  // ェ ベ
    {0x30a9, 0x30dc},  // ォ ボ
};

std::optional<char32_t> VuWith(char32_t vowel) {
  for (const auto& [small, joined] : kVuWithVowel) {
    if (vowel == small) return joined;
  }
  return std::nullopt;
}

// Katakana, the long-vowel mark and the kana iteration marks: what a run of katakana is made of.
bool IsRunMember(char32_t c) {
  return IsFoldedKana(c) || c == kLongVowelMark || c == kKanaIterationMark ||
         c == kVoicedIterationMark;
}

// Every one of `heads` followed by every one of `tails`.
std::vector<std::string> EachFollowedByEach(const std::vector<std::string>& heads,
                                            const std::vector<std::string>& tails) {
  std::vector<std::string> joined;
  joined.reserve(heads.size() * tails.size());
  for (const std::string& head : heads) {
    for (const std::string& tail : tails) joined.push_back(head + tail);
  }
  return joined;
}

}  // namespace

FoldedTerm::FoldedTerm(TextEncoding encoding, std::string_view term, Folding folding)
    : encoding_(encoding), folding_(folding), table_(&CodePointTable::Get(encoding)) {
  if (folding_ == Folding::kLoose) {
    for (const char32_t mark : kJoiningMarks) {
      for (std::string& spelling : table_->Spellings(mark)) {
        mark_bytes_.set(static_cast<unsigned char>(spelling.front()));
        mark_spellings_.push_back(std::move(spelling));
      }
    }
  }
  for (Reader reader; reader.pos < term.size();) {
    const Unit& unit = units_.emplace_back(ReadUnit(term, reader));
    undecodable_.emplace_back(
        unit.folded == kReplacementCodePoint ? term.substr(unit.at, unit.end - unit.at) : "");
  }
  starts_with_small_vowel_ = VuWith(units_.front().folded).has_value();

  // Every way of writing one member of a class (a kana and its mark: each of their spellings).
  const auto written = [&](const std::u32string& member) {
    std::vector<std::string> ways{std::string()};
    for (const char32_t c : member) ways = EachFollowedByEach(ways, table_->Spellings(c));
    return ways;
  };
  const auto add_class = [&](std::vector<std::string>& spellings, char32_t folded) {
    for (const std::u32string& member : FoldClass(folded, folding_)) {
      const std::vector<std::string> ways = written(member);
      spellings.insert(spellings.end(), ways.begin(), ways.end());
    }
  };
  for (std::size_t k = 0; k < units_.size(); ++k) {
    std::vector<std::string>& spellings = spellings_.emplace_back();
    const Unit& unit = units_[k];
    if (!undecodable_[k].empty()) {
      spellings.push_back(undecodable_[k]);
      continue;
    }
    add_class(spellings, unit.folded);
    if (folding_ != Folding::kLoose || unit.mark == unit.folded) continue;
    // The record may write the character as a mark repeating the one before it, which at the term's
    // start may be any.
    const char32_t f = unit.folded;
    const char32_t previous = k == 0 ? 0 : units_[k - 1].folded;
    if (IsKanjiForIteration(f) && (k == 0 || previous == f))
      add_class(spellings, kKanjiIterationMark);
    if (const std::optional<char32_t> base = UnvoicedKana(f)) {
      const std::optional<char32_t> before = k == 0 ? base : UnvoicedKana(previous);
      if (before == base && *base == f) add_class(spellings, kKanaIterationMark);
      // ヾ voices the kana before it: after ウ it is ブ, whose unvoiced kana is フ.
      if (before && *before != f && VoicedKana(*before) == f)
        add_class(spellings, kVoicedIterationMark);
    }
    // バ may be ヴァ, in any of the ways ヴ and ァ are written.
    for (const auto& [vowel, joined] : kVuWithVowel) {
      if (f != joined) continue;
      std::vector<std::string> vu;
      for (const std::u32string& member : FoldClass(kBu, folding_)) {
        const bool is_vu = (member.size() == 1 && (member[0] == kVu || member[0] == kHiraganaVu)) ||
                           (member.size() == 2 && FoldCharacter(member[0], folding_) == kKatakanaU);
        if (!is_vu) continue;
        const std::vector<std::string> ways = written(member);
        vu.insert(vu.end(), ways.begin(), ways.end());
      }
      std::vector<std::string> vowels;
      add_class(vowels, vowel);
      const std::vector<std::string> both = EachFollowedByEach(vu, vowels);
      spellings.insert(spellings.end(), both.begin(), both.end());
    }
  }
  for (const std::string& spelling : spellings_.front()) {
    first_bytes_.set(static_cast<unsigned char>(spelling.front()));
  }
}

bool FoldedTerm::JoinsPrevious(std::size_t k) const {
  const Unit& before = units_[k - 1];
  const Unit& here = units_[k];
  if (folding_ != Folding::kLoose) return true;
  if (before.optional || here.optional) return false;
  // A record may end its run with an optional long-vowel mark where the term's run ends.
  return !(IsRunMember(before.folded) && !IsRunMember(here.folded));
}

std::vector<std::string> FoldedTerm::SpellingsOf(std::size_t first, std::size_t count,
                                                 std::size_t most) const {
  std::vector<std::string> written{std::string()};
  for (std::size_t character = first; character < first + count && !written.empty(); ++character) {
    written = FollowedBySpellingsOf(written, character, most);
  }
  return written;
}

std::vector<std::string> FoldedTerm::FollowedBySpellingsOf(const std::vector<std::string>& written,
                                                           std::size_t character,
                                                           std::size_t most) const {
  const std::vector<std::string>& tails = spellings_[character];
  if (tails.empty() || written.size() * tails.size() > most) return {};
  return EachFollowedByEach(written, tails);
}

char32_t FoldedTerm::DecodeFolded(std::string_view text, std::size_t pos, std::size_t& end,
                                  bool* vu) const {
  const char32_t c = table_->Decode(text, pos, end);
  if (end < text.size() && mark_bytes_.test(static_cast<unsigned char>(text[end]))) {
    std::size_t mark_end = end;
    const char32_t mark = table_->Decode(text, end, mark_end);
    if (const std::optional<char32_t> composed = ComposeKana(c, mark)) {
      end = mark_end;
      if (vu) *vu = *composed == kBu && FoldCharacter(c, folding_) == kKatakanaU;
      return *composed;
    }
  }
  if (vu) *vu = folding_ == Folding::kLoose && (c == kVu || c == kHiraganaVu);
  return FoldCharacter(c, folding_);
}

FoldedTerm::Unit FoldedTerm::ReadUnit(std::string_view text, Reader& reader) const {
  Unit u;
  u.at = reader.pos;
  bool vu = false;
  u.folded = DecodeFolded(text, u.at, u.end, &vu);
  if (folding_ == Folding::kLoose) {
    if (vu) {
      std::size_t vowel_end = u.end;
      const char32_t vowel = u.end < text.size() ? DecodeFolded(text, u.end, vowel_end) : 0;
      if (const std::optional<char32_t> joined = VuWith(vowel)) {
        u.folded = *joined;
        u.tail = vowel;
        u.tail_at = u.end;
        u.end = vowel_end;
      } else {
        u.vu = true;
      }
    } else if (u.folded == kKanjiIterationMark) {
      u.mark = u.folded;
      if (IsKanjiForIteration(reader.previous)) u.folded = reader.previous;
    } else if (u.folded == kKanaIterationMark || u.folded == kVoicedIterationMark) {
      u.mark = u.folded;
      if (const std::optional<char32_t> base = UnvoicedKana(reader.previous)) {
        if (u.mark == kKanaIterationMark) {
          u.folded = *base;
        } else if (const std::optional<char32_t> voiced = VoicedKana(*base)) {
          u.folded = *voiced;
        }
      }
    } else if (u.folded == kLongVowelMark && reader.run >= kRunBeforeOptionalMark) {
      std::size_t next_end = u.end;
      const char32_t next = u.end < text.size() ? DecodeFolded(text, u.end, next_end) : 0;
      u.optional = !IsRunMember(next);
    }
    if (!IsRunMember(u.folded)) {
      reader.run = 0;
    } else if (!IsSmallKana(u.folded)) {
      ++reader.run;
    }
    reader.previous = u.folded;
  }
  reader.pos = u.end;
  return u;
}

bool FoldedTerm::Same(std::string_view record, std::size_t k, const Unit& u) const {
  const Unit& t = units_[k];
  // A mark with nothing before it to repeat stands for itself.
  if (t.mark != 0 && t.mark == t.folded) return u.mark == t.mark;
  if (u.tail != 0) {
    // The term ends in ヴ, or starts with the vowel, of a ヴァ the record holds.
    if (k + 1 == units_.size() && t.vu) return true;
    if (k == 0 && t.folded == u.tail) return true;
  }
  if (t.folded != u.folded) return false;
  return undecodable_[k].empty() || record.substr(u.at, u.end - u.at) == undecodable_[k];
}

std::optional<FoldedTerm::Match> FoldedTerm::MatchFrom(std::string_view record,
                                                       Reader reader) const {
  Match match;
  for (std::size_t k = 0; k < units_.size();) {
    const Unit& t = units_[k];
    if (reader.pos >= record.size()) {
      if (!t.optional) return std::nullopt;
      ++k;
      continue;
    }
    Reader next = reader;
    const Unit u = ReadUnit(record, next);
    // Either side's final long-vowel mark may be passed over where the other's run ends too.
    if (t.optional && !IsRunMember(u.folded)) {
      ++k;
      continue;
    }
    if (k > 0 && u.optional && t.folded != kLongVowelMark) {
      reader = next;
      continue;
    }
    if (!Same(record, k, u)) return std::nullopt;
    if (k == 0) match.at = u.tail != 0 && t.folded == u.tail ? u.tail_at : u.at;
    match.end = u.tail != 0 && t.vu ? u.tail_at : u.end;
    reader = next;
    ++k;
  }
  return match;
}

bool FoldedTerm::StandsAt(std::string_view record, std::size_t at) const {
  if (at >= record.size() || !IsCharBoundary(encoding_, record, at)) return false;
  // A mark here may belong to the kana before it, which only a walk from the start can tell: the
  // caller then searches the record.
  for (const std::string& mark : mark_spellings_) {
    if (record.substr(at).starts_with(mark)) return false;
  }
  // So may an iteration mark, which stands for what is before it. Whatever else the characters
  // before `at` would change (a longer run of katakana) only lets more match.
  Reader reader{at};
  Reader probe = reader;
  if (ReadUnit(record, probe).mark != 0) return false;
  return MatchFrom(record, reader).has_value();
}

std::optional<FoldedTerm::Match> FoldedTerm::Find(std::string_view record, std::size_t from) const {
  std::optional<Match> first;
  ForEachMatch(
      record,
      [&](const Match& match) {
        first = match;
        return false;
      },
      from);
  return first;
}

std::size_t FoldedTerm::NextPlace(std::string_view record, std::size_t at) const {
  std::size_t next = NextCharEnd(encoding_, record, at);
  // A kana's mark is part of it: no match starts there.
  if (next < record.size() && mark_bytes_.test(static_cast<unsigned char>(record[next]))) {
    DecodeFolded(record, at, next);
  }
  return next;
}

}  // namespace tolvane

#include "search/terms.h"

#include <algorithm>

#include "encoding/code_points.h"
#include "encoding/iconv_converter.h"
#include "encoding/primitives.h"
#include "encoding/query_text.h"
#include "encoding/sjis.h"

namespace tolvane {

std::span<const std::string> TermTable::Active() const {
  std::size_t n = 0;
  while (n < terms.size() && !terms[n].empty()) ++n;
  return {terms.data(), n};
}

namespace {

// True when a term holds a character of two Unicode forms, which only a folded match finds in
// both: in UTF-8 either form may have been written; in EUC-JP the wave dash is JIS X 0208's 〜 as
// most converters write it, or JIS X 0212's ～ as glibc's iconv from CP932 writes it.
bool HoldsTwoFormCharacter(TextEncoding encoding, std::string_view term) {
  const CodePointTable& table = CodePointTable::Get(encoding);
  for (std::size_t at = 0; at < term.size();) {
    std::size_t end = at;
    const char32_t c = table.Decode(term, at, end);
    if (JisFormOf(c) || Cp932FormOf(c)) return true;
    at = end;
  }
  return false;
}

// One character of a term as typed, with its bytes in the records file's encoding when that
// encoding holds it.
struct TypedCharacter {
  char32_t c;
  std::optional<std::string> bytes;
};

// A term of the loose search in `encoding`: each character as typed where the encoding holds it,
// else as another way of writing it that the encoding holds (髙 as 高 in EUC-JP, 鷗 as 鴎 in
// Shift-JIS), since the search finds every way alike.
Reencoded LooseTerm(TextEncoding encoding, const std::vector<TypedCharacter>& typed) {
  Reencoded term;
  const CodePointTable& target = CodePointTable::Get(encoding);
  // The first member of the character's class that the encoding writes whole.
  const auto written_in_target = [&](const std::u32string& member) -> std::optional<std::string> {
    std::string bytes;
    for (const char32_t part : member) {
      const std::vector<std::string> spellings = target.Spellings(part);
      if (spellings.empty()) return std::nullopt;
      bytes += spellings.front();
    }
    return bytes;
  };
  for (const TypedCharacter& one : typed) {
    if (one.bytes) {
      term.bytes += *one.bytes;
      continue;
    }
    bool written = false;
    for (const std::u32string& member :
         FoldClass(FoldCharacter(one.c, Folding::kLoose), Folding::kLoose)) {
      if (const std::optional<std::string> bytes = written_in_target(member)) {
        term.bytes += *bytes;
        written = true;
        break;
      }
    }
    if (!written) {
      term.unconvertible = one.c;
      term.bytes.clear();
      return term;
    }
  }
  return term;
}

// The characters of a Shift-JIS term.
std::vector<TypedCharacter> TypedInShiftJis(TextEncoding encoding, std::string_view sjis) {
  std::vector<TypedCharacter> typed;
  const CodePointTable& table = CodePointTable::Get(TextEncoding::kShiftJis);
  for (std::size_t at = 0; at < sjis.size();) {
    std::size_t end = at;
    const char32_t c = table.Decode(sjis, at, end);
    Reencoded one = FromCp932(encoding, sjis.substr(at, end - at));
    typed.push_back({c, one.unconvertible ? std::nullopt : std::optional(std::move(one.bytes))});
    at = end;
  }
  return typed;
}

// The characters of a UTF-8 term; a byte that starts no character is U+FFFD, which no encoding
// is asked to hold.
std::vector<TypedCharacter> TypedInUtf8(TextEncoding encoding, std::string_view utf8) {
  std::vector<TypedCharacter> typed;
  while (!utf8.empty()) {
    char32_t c = 0;
    if (!DecodeUtf8(utf8, c)) {
      utf8.remove_prefix(1);
      typed.push_back({kReplacementCodePoint, std::nullopt});
      continue;
    }
    typed.push_back({c, CharacterIn(encoding, c)});
  }
  return typed;
}

// The terms of `query`, whose blanks are ASCII blanks and `full_width_blank`, each written in
// `encoding` by `write`.
template <class Write>
TermTable SplitWith(std::string_view query, std::string_view full_width_blank,
                    TextEncoding encoding, Folding folding, Write write) {
  std::string text(query);
  if (full_width_blank == kFullWidthBlank) {
    // On Shift-JIS boundaries: 40 may be a trail byte.
    ReplaceAll(text, kFullWidthBlank, kAsciiBlank);
  } else {
    // UTF-8 never holds one character's bytes inside another's.
    for (std::size_t at = 0; (at = text.find(full_width_blank, at)) != std::string::npos; ++at) {
      text.replace(at, full_width_blank.size(), kAsciiBlank);
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();

  // Every term is kept, and kept whole, however long: dropping a term or cutting one short would
  // report records that do not hold it.
  TermTable table;
  table.encoding = encoding;
  std::string_view rest = text;
  while (true) {
    const std::size_t blank = rest.find(' ');
    const bool loose = folding == Folding::kLoose;
    Reencoded term = write(rest.substr(0, blank), loose);
    if (term.unconvertible && !table.unconvertible) table.unconvertible = term.unconvertible;
    table.terms.push_back(std::move(term.bytes));
    const std::string& bytes = table.terms.back();
    const bool shift_jis = encoding == TextEncoding::kShiftJis;
    // A loose term finds every spelling of its characters, the twins' among them.
    table.twins.push_back(shift_jis && !loose ? TermTwins::Of(bytes) : TermTwins());
    if (bytes.empty() || term.unconvertible) {
      table.folded.emplace_back();
    } else if (loose) {
      table.folded.emplace_back(std::in_place, encoding, bytes, Folding::kLoose);
    } else if (!shift_jis && HoldsTwoFormCharacter(encoding, bytes)) {
      table.folded.emplace_back(std::in_place, encoding, bytes, Folding::kUnicodeForms);
    } else {
      table.folded.emplace_back();
    }
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  return table;
}

// The full-width blank U+3000 in UTF-8.
constexpr std::string_view kFullWidthBlankUtf8 = "\xe3\x80\x80";

}  // namespace

TermTable SplitTerms(std::string_view query, TextEncoding encoding, Folding folding) {
  return SplitWith(query, kFullWidthBlank, encoding, folding,
                   [encoding](std::string_view term, bool loose) {
                     return loose ? LooseTerm(encoding, TypedInShiftJis(encoding, term))
                                  : FromCp932(encoding, term);
                   });
}

TermTable SplitQuery(std::string_view query, TextEncoding encoding, Folding folding) {
  return SplitWith(
      query, kFullWidthBlankUtf8, encoding, folding, [encoding](std::string_view term, bool loose) {
        return loose ? LooseTerm(encoding, TypedInUtf8(encoding, term)) : FromUtf8(encoding, term);
      });
}

namespace {

// Every place term `index` stands in `record`, walked from its start, until `on_place` returns
// false: the one rule of what a match is, for the scan and for the marks alike.
template <class OnPlace>
void ForEachPlace(std::string_view record, const TermTable& table, std::size_t index,
                  OnPlace on_place) {
  if (const std::optional<FoldedTerm>& folded = table.folded[index]) {
    folded->ForEachMatch(record, [&](const FoldedTerm::Match& match) {
      return on_place(TermSpan{match.at, match.end});
    });
    return;
  }
  const std::string& term = table.terms[index];
  const TermTwins& twins = table.twins[index];
  // Each search starts on a character boundary, so the rest of the record is walked as from its
  // start.
  for (std::size_t from = 0; from < record.size();) {
    const std::string_view rest = record.substr(from);
    const std::optional<std::size_t> found = twins.empty()
                                                 ? CharBoundaryFind(table.encoding, rest, term)
                                                 : twins.FindOnBoundary(rest, term);
    if (!found) return;
    const std::size_t at = from + *found;
    if (!on_place(TermSpan{at, at + term.size()})) return;
    from = NextCharEnd(table.encoding, record, at);
  }
}

bool Holds(std::string_view record, const TermTable& table, std::size_t index) {
  bool found = false;
  ForEachPlace(record, table, index, [&](const TermSpan&) {
    found = true;
    return false;
  });
  return found;
}

}  // namespace

bool MatchesAllTerms(std::string_view record, const TermTable& terms) {
  const std::span<const std::string> active = terms.Active();
  for (std::size_t i = 0; i < active.size(); ++i) {
    if (!Holds(record, terms, i)) return false;
  }
  return true;
}

bool MatchesAllTerms(std::string_view record, const TermTable& table,
                     std::span<const std::string* const> order, const FoundTerm& found) {
  for (const std::string* term : order) {
    bool known = false;
    const auto index = static_cast<std::size_t>(term - table.terms.data());
    if (term == found.term && table.folded[index]) {
      known = table.folded[index]->StandsAt(record, found.at);
    } else if (term == found.term && found.at + term->size() <= record.size()) {
      const TermTwins& twins = table.TwinsOf(term);
      const bool spelled =
          found.confirmed || (twins.empty() ? record.substr(found.at, term->size()) == *term
                                            : twins.SpellingAt(record.data() + found.at, *term));
      known = spelled && IsCharBoundary(table.encoding, record, found.at);
    }
    if (!known && !Holds(record, table, index)) {
      return false;
    }
  }
  return true;
}

std::vector<TermSpan> TermSpans(std::string_view record, const TermTable& table) {
  std::vector<TermSpan> spans;
  for (std::size_t index = 0; index < table.Active().size(); ++index) {
    ForEachPlace(record, table, index, [&](const TermSpan& span) {
      spans.push_back(span);
      return true;
    });
  }
  std::sort(spans.begin(), spans.end(), [](const TermSpan& a, const TermSpan& b) {
    return a.at != b.at ? a.at < b.at : a.end < b.end;
  });
  return spans;
}

}  // namespace tolvane

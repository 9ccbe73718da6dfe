#include "search/filter_choice.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tolvane {
namespace {

// A confirmed candidate costs a record cut out and checked; one the confirmation turns away, a
// compare of a few bytes.
constexpr double kConfirmedCandidateCost = 8.0;
// Above every estimate, which is a sum of a few products of frequencies below 1.
constexpr double kUnfilterable = 1e9;
// Where in a term the filtered character stands when it cannot be known.
constexpr std::size_t kUnknownOffset = static_cast<std::size_t>(-1);

struct Option {
  const std::string* term;
  PairFilter filter;
  bool whole;          // the filter finds the term itself, not one character of it
  std::size_t offset;  // else where that character stands in the term
  double estimate;     // from the byte counts: the chance of a candidate at a position
};

double Frequency(const ByteCounts& counts, double total, char byte) {
  // Add one to every count, so that bytes the sample lacks still rank by what was seen.
  return (counts[static_cast<unsigned char>(byte)] + 1.0) / (total + 256.0);
}

// Of a term matched a character at a time, the character whose spellings are rarest.
std::optional<Option> OptionForFolded(const std::string& term, const FoldedTerm& folded,
                                      const ByteCounts& counts, double total) {
  std::optional<Option> chosen;
  for (std::size_t character = 0; character < folded.CharacterCount(); ++character) {
    std::vector<std::string> spellings = folded.SpellingsOf(character);
    if (spellings.empty() || spellings.size() > kMaxFilterSpellings) continue;
    double estimate = 0;
    for (const std::string& spelling : spellings) {
      if (HasSpecialByte(spelling)) estimate = kUnfilterable;
      estimate += Frequency(counts, total, spelling.front()) * Frequency(counts, total, spelling.back());
    }
    if (estimate >= kUnfilterable) continue;
    if (!chosen || estimate < chosen->estimate) {
      // Spellings of other lengths before it leave the term's start unknown.
      chosen.emplace(Option{&term, PairFilter(std::move(spellings)), false, kUnknownOffset, estimate});
    }
  }
  return chosen;
}

// The filter for one term, or nothing when it cannot be looked for on raw bytes.
std::optional<Option> OptionFor(const std::string& term, const TermTwins& twins,
                                const std::optional<FoldedTerm>& folded, const ByteCounts& counts,
                                double total) {
  if (folded) return OptionForFolded(term, *folded, counts, total);
  if (HasSpecialByte(term)) return std::nullopt;
  if (!twins.CoverAll(term)) {
    PairFilter filter(term, counts, &twins);
    // The rarest two bytes the filter compares, estimated again the same way.
    double best = 1.0;
    double next = 1.0;
    for (std::size_t at = 0; at < term.size(); ++at) {
      if (!twins.IsFixed(at)) continue;
      const double f = Frequency(counts, total, term[at]);
      if (f < best) {
        next = best;
        best = f;
      } else if (f < next) {
        next = f;
      }
    }
    return Option{&term, std::move(filter), true, 0, best * (next < 1.0 ? next : 1.0)};
  }
  // Made only of characters of several spellings: the character whose spellings are rarest.
  std::optional<Option> chosen;
  for (std::size_t place = 0; place < twins.PlaceCount(); ++place) {
    std::vector<std::string> spellings = twins.SpellingsOfPlace(place);
    if (spellings.empty() || spellings.size() > kMaxFilterSpellings) continue;
    double estimate = 0;
    for (const std::string& spelling : spellings) {
      estimate += Frequency(counts, total, spelling.front()) * Frequency(counts, total, spelling.back());
    }
    if (!chosen || estimate < chosen->estimate) {
      chosen.emplace(
          Option{&term, PairFilter(std::move(spellings)), false, twins.OffsetOfPlace(place), estimate});
    }
  }
  return chosen;
}

}  // namespace

bool HasSpecialByte(std::string_view term) {
  return term.find_first_of("\r\n\x1a") != std::string_view::npos;
}

FilterChoice ChooseFilter(const TermTable& terms, std::string_view sample) {
  FilterChoice choice;
  const ByteCounts counts = CountBytes(sample);
  double total = 0;
  for (const std::uint64_t c : counts) total += static_cast<double>(c);

  std::vector<Option> options;
  std::vector<std::pair<double, const std::string*>> ranked;
  for (const std::string& term : terms.Active()) {
    const auto index = static_cast<std::size_t>(&term - terms.terms.data());
    std::optional<Option> option = OptionFor(term, terms.twins[index], terms.folded[index], counts, total);
    ranked.emplace_back(option ? option->estimate : kUnfilterable, &term);
    if (option) options.push_back(std::move(*option));
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [estimate, term] : ranked) choice.check_order.push_back(term);
  if (options.empty()) return choice;

  // The estimates rank the terms; the real candidates in the sample decide among the first few,
  // since bytes of a term are seldom independent (日本 against 歴史, say).
  std::stable_sort(options.begin(), options.end(),
                   [](const Option& a, const Option& b) { return a.estimate < b.estimate; });
  std::size_t best = 0;
  double best_cost = std::numeric_limits<double>::infinity();
  for (std::size_t k = 0; k < options.size() && k < kCountedFilterTerms; ++k) {
    const PairFilter::Candidates candidates = options[k].filter.CountCandidates(sample);
    const double cost = static_cast<double>(candidates.compared) +
                        kConfirmedCandidateCost * static_cast<double>(candidates.confirmed);
    if (cost < best_cost) {
      best = k;
      best_cost = cost;
    }
  }
  choice.found_term = options[best].offset == kUnknownOffset ? nullptr : options[best].term;
  choice.found_offset = options[best].offset;
  choice.found_whole = options[best].whole;
  const std::string* chosen_term = options[best].term;
  choice.filter.emplace(std::move(options[best].filter));
  for (const std::string* term : choice.check_order) {
    if (term == chosen_term) continue;
    const auto other = std::find_if(options.begin(), options.end(),
                                    [&](const Option& o) { return o.term == term; });
    if (other != options.end()) choice.quick_checks.push_back(other->filter);
  }
  return choice;
}

}  // namespace tolvane

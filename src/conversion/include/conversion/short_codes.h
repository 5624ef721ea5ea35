// Unique short codes for the working tables: the set of codes one stage has already given, and
// the search for the first free candidate of a numbered (or lettered) series.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tc {

// The short codes a stage has already given, compared without regard to letter case (over the
// letters of Windows-1252): "gmj" is taken once "GMJ" is.
class CodesSeen {
 public:
  bool Contains(std::string_view code) const;
  // Adding a code already held, in any letter case, changes nothing.
  void Add(std::string_view code);
  std::size_t Size() const { return folded_.size(); }

  // The first of candidate(1), candidate(2), ... not held. `series` names the candidate
  // function (two series with the same name, in any letter case, must give the same codes up to
  // letter case). Codes are only ever added, so the first free number of a series only grows:
  // the search resumes where the last one of the same series ended, and giving n numbered codes
  // costs n lookups, not n squared.
  template <typename Candidate>
  std::string FirstFreeInSeries(std::string_view series, Candidate&& candidate);

 private:
  std::unordered_set<std::string> folded_;  // upper-case form of every code given
  std::unordered_map<std::string, long> next_number_;  // upper-case series -> where to resume
  long& ResumeAt(std::string_view series);
};

template <typename Candidate>
std::string CodesSeen::FirstFreeInSeries(std::string_view series, Candidate&& candidate) {
  for (long& n = ResumeAt(series);; ++n) {
    std::string code = candidate(n);
    if (!Contains(code)) return code;
  }
}

// The first of candidate(1) ... candidate(last) that is_free accepts, over a finite series such
// as the letters A to Z; nullopt when every one of them is taken.
template <typename Candidate, typename IsFree>
std::optional<std::string> FirstFree(Candidate&& candidate, IsFree&& is_free, long last) {
  for (long n = 1; n <= last; ++n) {
    std::string code = candidate(n);
    if (is_free(code)) return code;
  }
  return std::nullopt;
}

// `base` followed by the decimal number n. With a width, a result that would be longer keeps
// the number whole and cuts the base instead, so that the code still fits its field and every
// number gives a different code.
std::string NumberedCode(std::string_view base, long n, std::size_t width = std::string_view::npos);

// The first of base1, base2, base3, ... that `seen` does not hold (the base cut as NumberedCode
// does when a width is given).
std::string FirstFreeNumbered(std::string_view base, CodesSeen& seen,
                              std::size_t width = std::string_view::npos);

// `code` itself when `seen` does not hold it, else FirstFreeNumbered(code).
std::string UniqueNumbered(std::string_view code, CodesSeen& seen);

}  // namespace tc

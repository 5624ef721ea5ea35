#include "conversion/short_codes.h"

#include "base/codepage.h"

namespace tc {

bool CodesSeen::Contains(std::string_view code) const { return folded_.contains(UpperCase(code)); }

void CodesSeen::Add(std::string_view code) { folded_.insert(UpperCase(code)); }

long& CodesSeen::ResumeAt(std::string_view series) {
  long& n = next_number_[UpperCase(series)];
  if (n < 1) n = 1;
  return n;
}

std::string NumberedCode(std::string_view base, long n, std::size_t width) {
  std::string number = std::to_string(n);
  if (width != std::string_view::npos && base.size() + number.size() > width) {
    base = base.substr(0, width > number.size() ? width - number.size() : 0);
  }
  std::string code(base);
  code += number;
  return code;
}

std::string FirstFreeNumbered(std::string_view base, CodesSeen& seen, std::size_t width) {
  const std::string series = std::string(base) + '\x1F' + std::to_string(width);
  return seen.FirstFreeInSeries(series, [&](long n) { return NumberedCode(base, n, width); });
}

std::string UniqueNumbered(std::string_view code, CodesSeen& seen) {
  if (!seen.Contains(code)) return std::string(code);
  return FirstFreeNumbered(code, seen);
}

}  // namespace tc

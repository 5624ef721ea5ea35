#include "conversion/short_codes.h"

#include "base/codepage.h"

namespace tc {

bool CodesSeen::Contains(std::string_view code) const { return folded_.contains(UpperCase(code)); }

void CodesSeen::Add(std::string_view code) { folded_.insert(UpperCase(code)); }

std::string NumberedCode(std::string_view base, long n, std::size_t width) {
  std::string number = std::to_string(n);
  if (width != std::string_view::npos && base.size() + number.size() > width) {
    base = base.substr(0, width > number.size() ? width - number.size() : 0);
  }
  std::string code(base);
  code += number;
  return code;
}

std::string FirstFreeNumbered(std::string_view base, const CodesSeen& seen, std::size_t width) {
  return FirstFree([&](long n) { return NumberedCode(base, n, width); },
                   [&](const std::string& code) { return !seen.Contains(code); });
}

std::string UniqueNumbered(std::string_view code, const CodesSeen& seen) {
  if (!seen.Contains(code)) return std::string(code);
  return FirstFreeNumbered(code, seen);
}

}  // namespace tc

#include "base/text.h"

namespace tc {

namespace {
constexpr char kBlank = ' ';
}

std::string RTrim(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == kBlank) --end;
  return std::string(text.substr(0, end));
}

std::string LTrim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && text[begin] == kBlank) ++begin;
  return std::string(text.substr(begin));
}

std::string AllTrim(std::string_view text) { return LTrim(RTrim(text)); }

std::string Left(std::string_view text, int n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) < text.size()) return std::string(text.substr(0, n));
  return std::string(text);
}

std::string Right(std::string_view text, int n) {
  if (n <= 0) return {};
  if (static_cast<std::size_t>(n) < text.size()) return std::string(text.substr(text.size() - n));
  return std::string(text);
}

std::string Initials(std::string_view text) {
  // Positions are 1-based as in the rule: at(i) is the i-th character.
  const long length = static_cast<long>(text.size());
  auto at = [&](long i) { return text[static_cast<std::size_t>(i - 1)]; };
  std::string result;
  for (long i = 1; i < length; ++i) {
    if (at(i) != kBlank) continue;
    if (i < length - 4) {
      // Only a word of four characters or more gives its initial.
      if (at(i + 1) != kBlank && at(i + 2) != kBlank && at(i + 3) != kBlank && at(i + 4) != kBlank)
        result += at(i + 1);
    } else {
      // Near the end the next character is taken whatever it is (a blank too).
      result += at(i + 1);
    }
  }
  return result;
}

std::string EscapeField(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string UnescapeField(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char next = text[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

}  // namespace tc

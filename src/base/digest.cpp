#include "base/digest.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace tc {

std::uint64_t ContentDigest(std::string_view bytes) {
  constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
  constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::uint64_t hash = kOffsetBasis;
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    // Eight bytes as a little-endian word: on such a machine one load (the byte loop was 60
    // instructions a word, most of a document's load once the parse was done).
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&word, bytes.data() + at, sizeof word);
    } else {
      for (int i = 7; i >= 0; --i) word = word << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    hash = (hash ^ word) * kPrime;
  }
  if (at < bytes.size()) {
    std::uint64_t word = 0;
    for (std::size_t i = bytes.size(); i-- > at;)
      word = word << 8 | static_cast<unsigned char>(bytes[i]);
    hash = (hash ^ word) * kPrime;
  }
  return (hash ^ bytes.size()) * kPrime;  // the length too: a tail's padding is no byte of it
}

std::string DigestText(std::uint64_t digest) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(digest));
  return text;
}

}  // namespace tc

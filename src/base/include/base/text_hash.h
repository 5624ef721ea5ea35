// Short texts (a school's codes) hashed and compared in place, in words of eight bytes, rather
// than through library calls: filing a table's rows and numbering a run's codes do it for every
// code of every row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tc {

namespace text_hash {

inline std::uint64_t Word(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
inline std::uint32_t HalfWord(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
// One to seven bytes in one word, each byte in it, read in at most two loads (a word of zeros
// filled through memcpy would be read back before the stores that filled it could be).
inline std::uint64_t Tail(const char* bytes, std::size_t size) {
  if (size >= 4) {  // two four-byte words, overlapping when fewer than eight
    return std::uint64_t{HalfWord(bytes)} << 32 | HalfWord(bytes + size - 4);
  }
  const auto byte = [bytes](std::size_t at) {
    return std::uint64_t{static_cast<unsigned char>(bytes[at])};
  };
  return byte(0) << 16 | byte(size / 2) << 8 | byte(size - 1);
}

inline std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 32;
  x *= 0xD6E8FEB86659FD93ULL;
  x ^= x >> 32;
  return x;
}

}  // namespace text_hash

// A text's hash: its size, then its bytes in words of eight (the last two overlapping when the
// size is no multiple of eight), or in one word when fewer (Tail), each word mixed in. Both its
// top and its bottom bits are mixed.
inline std::uint64_t TextHash(std::string_view text) {
  const char* at = text.data();
  std::size_t size = text.size();
  std::uint64_t hash = 0x9E3779B97F4A7C15ULL ^ size;
  if (size >= 8) {
    for (; size > 16; at += 8, size -= 8) hash = text_hash::Mix(hash ^ text_hash::Word(at));
    hash = text_hash::Mix(hash ^ text_hash::Word(at));
    return text_hash::Mix(hash ^ text_hash::Word(at + size - 8));
  }
  return text_hash::Mix(hash ^ (size > 0 ? text_hash::Tail(at, size) : 0));
}

// TextHash as the hash of a map keyed by texts, looked up by a string_view without making a
// string (with std::equal_to<>).
struct TextHasher {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return static_cast<std::size_t>(TextHash(text));
  }
};

// Whether two texts are the same, those of up to sixteen bytes compared in place.
inline bool SameText(std::string_view a, std::string_view b) {
  using text_hash::HalfWord;
  using text_hash::Word;
  const std::size_t size = a.size();
  if (size != b.size()) return false;
  const char* x = a.data();
  const char* y = b.data();
  if (size >= 8 && size <= 16) {
    return Word(x) == Word(y) && Word(x + size - 8) == Word(y + size - 8);
  }
  if (size >= 4 && size < 8) {
    return HalfWord(x) == HalfWord(y) && HalfWord(x + size - 4) == HalfWord(y + size - 4);
  }
  if (size < 4) {
    return size == 0 || (x[0] == y[0] && x[size / 2] == y[size / 2] && x[size - 1] == y[size - 1]);
  }
  return std::memcmp(x, y, size) == 0;
}

}  // namespace tc

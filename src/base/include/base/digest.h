// The digest kept of a document's bytes, to tell later whether a file is still the one a run
// read: FNV-1a over the bytes taken eight at a time (little-endian words, the tail zero-padded,
// then the length), so that it costs a fraction of reading the file. Not a cryptographic hash.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tc {

std::uint64_t ContentDigest(std::string_view bytes);
// 16 lower-case hexadecimal digits.
std::string DigestText(std::uint64_t digest);

}  // namespace tc

// Appending Windows-1252 text to a UTF-8 buffer: the JSON and the HTML page are written into one
// growing buffer each, piece by piece, rather than built in the code page and converted whole.
#pragma once

#include <string>
#include <string_view>

#include "base/codepage.h"

namespace tc::report {

// `cp1252` appended as UTF-8; runs of ASCII are copied whole.
inline void AppendUtf8Of(std::string& out, std::string_view cp1252) {
  std::size_t run = 0;
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const auto byte = static_cast<unsigned char>(cp1252[i]);
    if (byte < 0x80) continue;
    out.append(cp1252.data() + run, i - run);
    AppendUtf8(out, Cp1252ToCodePoint(byte));
    run = i + 1;
  }
  out.append(cp1252.data() + run, cp1252.size() - run);
}

}  // namespace tc::report

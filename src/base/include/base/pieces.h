// Text handed on piece by piece, in order: a rendering gives its text to a PieceSink as it goes
// (each piece taken), a writer takes it from a PieceSource (each view valid until the next call;
// none once the whole text has been given).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

using PieceSink = std::function<void(std::string piece)>;
using PieceSource = std::function<std::optional<std::string_view>()>;

}  // namespace tc

// Where a rendering writes: a text it returns whole, or one it hands on piece by piece as it
// grows, so that a report file of tens of megabytes is never held whole.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "base/pieces.h"

namespace tc::report {

class Output {
 public:
  // Pieces of about this size. The room each is written into comes from the allocator's heap
  // (below the size it maps afresh), where a piece freed once written serves the next.
  static constexpr std::size_t kPiece = 256 << 10;

  // Handed on to `sink` when one is given (it outlives the output); otherwise returned whole,
  // with `whole` bytes of room taken at once.
  Output(const PieceSink* sink, std::size_t whole) : sink_(sink) {
    text.reserve(sink_ ? 2 * kPiece : whole);
  }

  std::string text;

  // At a point between two parts of the text: what has been written so far is handed on once it
  // is a piece's worth.
  void Pass() {
    if (sink_ && text.size() >= kPiece) Hand();
  }
  // Pieces made elsewhere, after what has been written so far.
  void Add(std::vector<std::string> pieces) {
    for (std::string& piece : pieces) {
      if (!sink_) {
        text += piece;
        continue;
      }
      if (!text.empty()) Hand();
      (*sink_)(std::move(piece));
    }
  }
  // The end of the text: the rest handed on; or, with nothing to hand it to, the whole text.
  std::string Finish() {
    if (!sink_) return std::move(text);
    if (!text.empty()) Hand();
    return {};
  }

 private:
  void Hand() {
    (*sink_)(std::move(text));
    text = std::string();
    text.reserve(2 * kPiece);
  }

  const PieceSink* sink_;
};

}  // namespace tc::report

// Codes read from many elements of one collection, kept in one text, each element holding where
// its codes end: a school's lessons and duty periods are many and their codes short, and strings
// of their own would take several times the codes' size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "itaca/document.h"

namespace tc {

template <std::size_t N>
class ElementCodes {
 public:
  // Room for `elements` elements of about `bytes` bytes of codes each, taken once (untouched room
  // costs nothing; longer codes grow the text).
  void Reserve(std::size_t elements, std::size_t bytes) {
    elements_.reserve(elements);
    text_.reserve(elements * bytes);
  }
  // The codes `names` of `element`, the `index`-th of its collection, read in one walk over its
  // attributes as AttrText gives them. The first `required` must be there (the first one missing
  // is refused, named); one absent after them is empty.
  void Add(const itaca::Element& element, std::size_t index,
           const std::array<std::string_view, N>& names, std::size_t required) {
    Bounds bounds{text_.size(), {}, index};
    std::array<std::optional<std::string_view>, N> values;
    element.RawAttrs(names, values);
    for (std::size_t part = 0; part < N; ++part) {
      if (!values[part] && part < required) element.Attr(names[part]);
      if (values[part]) itaca::Element::AppendAttrText(text_, *values[part]);
      bounds.ends[part] = static_cast<std::uint32_t>(text_.size() - bounds.start);
    }
    elements_.push_back(bounds);
  }
  std::size_t Count() const { return elements_.size(); }
  // The codes of the `i`-th element added, in the order of their names.
  std::array<std::string_view, N> Codes(std::size_t i) const {
    const Bounds& b = elements_[i];
    const char* const first = text_.data() + b.start;
    std::array<std::string_view, N> codes;
    std::uint32_t from = 0;
    for (std::size_t k = 0; k < N; ++k) {
      codes[k] = std::string_view(first + from, b.ends[k] - from);
      from = b.ends[k];
    }
    return codes;
  }
  // Its index in its collection.
  std::size_t Index(std::size_t i) const { return elements_[i].index; }

 private:
  struct Bounds {
    std::size_t start = 0;       // where its codes begin in text_
    std::uint32_t ends[N] = {};  // where each code ends, from start
    std::size_t index = 0;
  };
  std::string text_;
  std::vector<Bounds> elements_;
};

}  // namespace tc

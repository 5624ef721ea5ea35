#include "wellformed.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/codepage.h"
#include "base/text_hash.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tc::itaca::detail {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

// What each byte may be. Bytes from 0x80 up start or continue a multi-byte character, which is
// decoded and judged on its own (kCheck).
enum ByteClass : std::uint8_t {
  kSpace = 1 << 0,      // blank, tab, CR, LF
  kNameStart = 1 << 1,  // may start a name
  kNameChar = 1 << 2,   // may continue a name
  kCheck = 1 << 3,      // a control character XML forbids, or a byte from 0x80 up
  kTextStop = 1 << 4,   // ends a run of character data
  kValueStop = 1 << 5,  // ends a run of an attribute value
  kColon = 1 << 6,      // ':', which makes a name qualified
};

constexpr std::array<std::uint8_t, 256> MakeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  for (int b = 0; b < 256; ++b) {
    std::uint8_t c = 0;
    if (b == ' ' || b == '\t' || b == '\r' || b == '\n') c |= kSpace;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b == ':') {
      c |= kNameStart | kNameChar;
    }
    if ((b >= '0' && b <= '9') || b == '-' || b == '.') c |= kNameChar;
    if (b == ':') c |= kColon;
    if ((b < 0x20 && !(c & kSpace)) || b >= 0x80) c |= kCheck;
    if ((c & kCheck) || b == '<' || b == '&' || b == ']') c |= kTextStop;
    // Tab, CR and LF too: the parser makes them blanks, so a value that has one is not its text.
    if ((c & kCheck) || b == '<' || b == '&' || b == '"' || b == '\'' || b == '\t' || b == '\r' ||
        b == '\n') {
      c |= kValueStop;
    }
    classes[static_cast<std::size_t>(b)] = c;
  }
  return classes;
}
constexpr std::array<std::uint8_t, 256> kByteClasses = MakeByteClasses();

bool Is(unsigned byte, ByteClass what) { return (kByteClasses[byte] & what) != 0; }

// Sixteen bytes judged at once, for the runs that make most of a document: names, attribute
// values, the text between tags. Each gives one bit a byte, the lowest for the first byte; where
// the processor has no such instructions, the runs go byte by byte.
#if defined(__SSE2__)
constexpr std::size_t kBlock = 16;

struct NameBlock {
  unsigned name_bytes;  // ASCII bytes that may continue a name
  unsigned colons;
};

[[gnu::always_inline]] inline NameBlock JudgeName(const char* at) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const auto in = [](__m128i x, char low, char high) {  // signed: bytes from 0x80 up are out
    return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(low - 1))),
                         _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(high + 1))));
  };
  const __m128i colon = _mm_cmpeq_epi8(v, _mm_set1_epi8(':'));
  const __m128i letter = in(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z');
  // '-', '.', the digits and ':', all but the '/' among them; then '_'.
  const __m128i punctuation =
      _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), in(v, '-', ':'));
  const __m128i underscore = _mm_cmpeq_epi8(v, _mm_set1_epi8('_'));
  const __m128i name = _mm_or_si128(_mm_or_si128(letter, punctuation), underscore);
  return {static_cast<unsigned>(_mm_movemask_epi8(name)),
          static_cast<unsigned>(_mm_movemask_epi8(colon))};
}

// The bytes that end a run of class kValueStop or kTextStop: those of class kCheck (below 0x20,
// from 0x80 up), and their own.
[[gnu::always_inline]] inline unsigned JudgeStops(const char* at, ByteClass stop) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  __m128i stops =
      _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_or_si128(is('<'), is('&')));
  if (stop == kValueStop) {
    stops = _mm_or_si128(stops, _mm_or_si128(is('"'), is('\'')));
  } else {  // kTextStop: tab, CR and LF are text
    stops = _mm_andnot_si128(_mm_or_si128(_mm_or_si128(is('\t'), is('\r')), is('\n')), stops);
    stops = _mm_or_si128(stops, is(']'));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(stops));
}
#endif

// The character at `at`; length 0 when the bytes there are not UTF-8. Surrogates decode like any
// other code point, to be named as such.
struct Character {
  char32_t code_point;
  std::size_t length;
};

Character DecodeAt(std::string_view text, std::size_t at) {
  if (at >= text.size()) return {0, 0};
  const Utf8Sequence sequence = ReadUtf8(text, at);
  return sequence.valid ? Character{sequence.code_point, sequence.length} : Character{0, 0};
}

bool IsXmlCharacter(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

bool IsNameStartCharacter(char32_t c) {
  if (c < 0x80) return Is(c, kNameStart);
  return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
         (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameCharacter(char32_t c) {
  if (c < 0x80) return Is(c, kNameChar);
  return IsNameStartCharacter(c) || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
         (c >= 0x203F && c <= 0x2040);
}

// "xml" in any letter case: the names reserved for XML's own use by processing instructions.
bool IsReservedTarget(std::string_view name) {
  return name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' &&
         (name[2] | 0x20) == 'l';
}

// The character a predefined entity stands for; '\0' when `name` is none of them.
char PredefinedEntity(std::string_view name) {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  return '\0';
}

bool IsPredefinedEntity(std::string_view name) { return PredefinedEntity(name) != '\0'; }

// A digit's value in a character reference; 16 when the byte is not one.
unsigned ReferenceDigit(unsigned b, bool hex) {
  if (b >= '0' && b <= '9') return b - '0';
  if (hex && b >= 'a' && b <= 'f') return b - 'a' + 10;
  if (hex && b >= 'A' && b <= 'F') return b - 'A' + 10;
  return 16;
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The version of an XML declaration: "1." and digits.
bool IsVersionNumber(std::string_view v) {
  if (v.size() < 3 || v.substr(0, 2) != "1.") return false;
  for (char c : v.substr(2)) {
    if (!IsAsciiDigit(c)) return false;
  }
  return true;
}

// An encoding name: a letter, then letters, digits, '.', '_' and '-'.
bool IsEncodingName(std::string_view name) {
  if (name.empty() || !IsAsciiLetter(name[0])) return false;
  for (char c : name) {
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '.' && c != '_' && c != '-') return false;
  }
  return true;
}

std::string Hex(char32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (digits.size() < 4) digits.insert(digits.begin(), '0');
  return digits;
}

// UTF-8 text quoted in a message: Windows-1252, cut short when it is long.
std::string Shown(std::string_view utf8) {
  constexpr std::size_t kLongest = 60;
  if (utf8.size() <= kLongest) return Utf8ToCp1252(utf8);
  std::size_t cut = kLongest;
  while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
  return Utf8ToCp1252(utf8.substr(0, cut)) + "...";
}

// Elements read ahead of the scan, on a thread of their own, from past the middle of a long text:
// runs of the elements at one of the paths to read ahead, with blanks between them, each run
// read as if the elements open around it were those of its path. The scan takes a run when it
// arrives at its start with those elements open: the run's elements go into the tree (or, when
// gleaned, their values to the gleaning), and the scan goes on after the run. It reads whatever
// comes before and between the runs itself; a run it does not arrive at that way is dropped. A
// run ends before anything the scan could read otherwise than its reader: another element,
// text, markup other than the elements, a namespace prefix, or a fault (which the scan then
// finds itself, with its place and reason).
struct AheadRun {
  static constexpr std::uint32_t kNoValue = UINT32_MAX;
  struct Value {
    std::uint32_t at = kNoValue;  // in the text; kNoValue for an attribute the element lacks
    std::uint32_t size = 0;
  };
  std::size_t begin = 0;  // its first element's '<'
  std::size_t end = 0;    // after its last element: the run is empty while it is `begin`
  std::size_t path = 0;   // of the paths to read ahead, that of its elements
  std::size_t gleaned = kNpos;  // the gleaning path that takes them, if one does
  std::size_t elements = 0;
  std::vector<Value> values;  // gleaned: each element's values of its path's names, in order
  ElementTree tree;           // else: the elements, numbered from 0, their values after the text
  bool done = false;          // read: the fields above are final
};

struct ReadAhead {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<AheadRun> runs;  // in the text's order; a run's place never moves
  bool finished = false;      // no run after the last of `runs`
  std::atomic<bool> stop{false};
  std::future<void> reader;
  // The reader stopped and waited for: it reads the text, which may go once the scan has ended.
  ~ReadAhead() {
    stop = true;
    if (reader.valid()) reader.wait();
  }
};

// One pass over the whole document, markup by markup. Elements are not nested calls but a stack
// of open ones, so the depth of a document costs no machine stack. Each step returns false at
// the first fault, which Fail has recorded; the steps around it return at once.
class Scanner {
 public:
  Scanner(std::string_view text, Gleaning* gleaning, ElementTree* tree)
      : text_(text), size_(text.size()), gleaning_(gleaning), tree_(tree) {
    if (gleaning_) {
      for (const std::vector<std::string_view>& names : gleaning_->attributes) {
        Asked& asked = asked_.emplace_back();
        for (std::size_t i = 0; i < names.size(); ++i) {
          asked.marks |= names[i].empty() ? 0 : MarkOf(names[i]);
          // A name asked for twice takes the value at its first place only, as RawAttrs gives
          // it: the name after the last kept could be such a second place.
          asked.once = asked.once &&
                       std::find(names.begin(), names.begin() + i, names[i]) == names.begin() + i;
        }
      }
    }
    if (tree_) {
      // Room for the usual share of elements and attributes: about one attribute in twenty
      // bytes, ten to an element. Room never written to costs no memory.
      tree_->nodes.reserve(size_ / 128 + 2);
      tree_->attributes.reserve(size_ / 16 + 1);
    }
  }

  std::optional<WellFormednessFault> Document(const ReadAheadPaths& ahead,
                                              const std::function<void()>& beside) {
    // What only reads the text is done beside: by the reader once it has read ahead, or on a
    // thread of its own (in turn when none can be had). Over before the outcome is given.
    std::future<void> done_beside;
    if (!(size_ >= ahead.from && StartReadingAhead(ahead, beside)) && beside) {
      done_beside = std::async(beside);
    }
    const bool read = (!At("<?xml") || NameCharacterAt(pos_ + 5) || Declaration()) &&
                      TopLevel(false) && TopLevel(true);
    if (done_beside.valid()) done_beside.get();
    if (ahead_) {
      ahead_->stop = true;
      ahead_->reader.get();
    }
    if (!read) return std::move(fault_);
    if (tree_) tree_->nodes.push_back({0, Offset(tree_->attributes.size()), 0});
    return std::nullopt;
  }

 private:
  static constexpr std::uint32_t kNotNoted = UINT32_MAX;

  struct OpenElement {
    std::string_view name;
    std::size_t offset;  // of its start tag
    std::uint32_t node;  // its index in the tree, or kNotNoted
  };

  static std::uint32_t Offset(std::size_t at) { return static_cast<std::uint32_t>(at); }

  // -------------------------------------------------------------------------------------------
  // Faults

  // Records the fault; false, for the step to return.
  bool Fail(std::size_t at, std::string reason,
            WellFormednessFault::Kind kind = WellFormednessFault::Kind::kNotWellFormed) const {
    // Reading ahead, a fault only ends the run: the scan finds it again and places it.
    if (reading_ahead_) {
      fault_ = WellFormednessFault{kind, at, {}, {}};
      return false;
    }
    fault_ = WellFormednessFault{kind, at, PositionIn(text_, at), std::move(reason)};
    return false;
  }

  bool FailUnclosedTag(std::size_t start, std::string_view name) const {
    return Fail(start, "la etiqueta <" + Shown(name) + "> no se cierra (falta \">\")");
  }

  bool FailUnclosedDeclaration(std::size_t start) const {
    return Fail(start, "la declaraci\xF3n XML no se cierra (falta \"?>\")");
  }

  bool FailMalformedDeclaration(std::size_t at, std::string_view what) const {
    return Fail(at, "la declaraci\xF3n XML est\xE1 mal formada: " + std::string(what));
  }

  // For a step that gives a value: none, after a fault recorded.
  static std::nullopt_t Failed(bool) { return std::nullopt; }

  // The character at `at`, for a message that says it was not expected there.
  std::string ShownCharacterAt(std::size_t at) const {
    return Shown(text_.substr(at, DecodeAt(text_, at).length));
  }

  // -------------------------------------------------------------------------------------------
  // Reading

  unsigned Byte(std::size_t at) const { return static_cast<unsigned char>(text_[at]); }
  bool Ended() const { return pos_ >= size_; }
  bool At(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
  std::size_t OffsetOf(std::string_view part) const {
    return static_cast<std::size_t>(part.data() - text_.data());
  }

  // Passes the bytes that are (`is`) or are not (!`is`) of class `what`. In local variables, so
  // that the loop keeps them in registers: the position is a member, which a byte read through
  // the text could alias, so a loop on the member would store it at every byte.
  void PassBytes(ByteClass what, bool is) {
    const char* const text = text_.data();
    std::size_t at = pos_;
    while (at < size_ && Is(static_cast<unsigned char>(text[at]), what) == is) ++at;
    pos_ = at;
  }

  // Passes the bytes up to the next of class `stop`, kValueStop or kTextStop.
  void PassUntil(ByteClass stop) {
#if defined(__SSE2__)
    const char* const text = text_.data();
    std::size_t at = pos_;
    while (at + kBlock <= size_) {
      const unsigned stops = JudgeStops(text + at, stop);
      if (stops != 0) {
        pos_ = at + static_cast<std::size_t>(std::countr_zero(stops));
        return;
      }
      at += kBlock;
    }
    pos_ = at;
#endif
    PassBytes(stop, false);
  }

  // Passes white space; whether there was any.
  bool SkipSpace() {
    const std::size_t start = pos_;
    PassBytes(kSpace, true);
    return pos_ > start;
  }

  bool NameStartAt(std::size_t at) const {
    if (at >= size_) return false;
    if (Byte(at) < 0x80) return Is(Byte(at), kNameStart);
    const Character c = DecodeAt(text_, at);
    return c.length > 0 && IsNameStartCharacter(c.code_point);
  }

  bool NameCharacterAt(std::size_t at) const {
    if (at >= size_) return false;
    if (Byte(at) < 0x80) return Is(Byte(at), kNameChar);
    const Character c = DecodeAt(text_, at);
    return c.length > 0 && IsNameCharacter(c.code_point);
  }

  // The name that starts at the current position (NameStartAt holds there); whether it has a
  // ':' is left in name_qualified_.
  std::string_view Name() {
    const std::size_t start = pos_;
    const char* const text = text_.data();
    std::size_t at = pos_;  // a local, as in PassBytes
    unsigned classes = 0;
    while (at < size_) {
#if defined(__SSE2__)
      if (at + kBlock <= size_) {
        const NameBlock block = JudgeName(text + at);
        const int run = std::countr_one(block.name_bytes);
        if ((block.colons & ((1u << run) - 1)) != 0) classes |= kColon;
        at += static_cast<std::size_t>(run);
        if (run == static_cast<int>(kBlock)) continue;
        if (Byte(at) < 0x80) break;
      }
#endif
      const unsigned b = static_cast<unsigned char>(text[at]);
      const unsigned byte_classes = kByteClasses[b];
      if ((byte_classes & kNameChar) != 0) {  // never a byte from 0x80 up
        classes |= byte_classes;
        ++at;
        continue;
      }
      if (b < 0x80) break;
      const Character c = DecodeAt(text_, at);
      if (c.length == 0 || !IsNameCharacter(c.code_point)) break;
      at += c.length;
    }
    pos_ = at;
    name_qualified_ = (classes & kColon) != 0;
    return text_.substr(start, pos_ - start);
  }

  // The length of the character at `at`, one of the bytes of class kCheck; 0 when XML does not
  // allow it (the fault recorded).
  std::size_t CheckedLength(std::size_t at) const {
    const unsigned b = Byte(at);
    if (b < 0x80) {
      if (Is(b, kCheck)) {
        return Fail(at, "el car\xE1"
                        "cter de control U+" +
                            Hex(b) + " no est\xE1 permitido en XML");
      }
      return 1;
    }
    const Character c = DecodeAt(text_, at);
    if (c.length == 0)
      return Fail(at, "hay bytes que no forman ning\xFAn car\xE1"
                      "cter UTF-8");
    if (IsSurrogate(c.code_point)) {
      return Fail(at, "hay medio car\xE1"
                      "cter UTF-16 (el sustituto " +
                          Hex(c.code_point) + " sin su pareja)");
    }
    if (!IsXmlCharacter(c.code_point)) {
      return Fail(at, "el car\xE1"
                      "cter U+" +
                          Hex(c.code_point) + " no est\xE1 permitido en XML");
    }
    return c.length;
  }

  // Passes the character at the current position, one of the bytes of class kCheck; false when
  // XML does not allow it.
  bool PassCharacter() {
    const std::size_t length = CheckedLength(pos_);
    pos_ += length;
    return length > 0;
  }

  // Whether a character at `at` is one XML allows; false with the fault recorded when not.
  bool Allowed(std::size_t at) const { return !Is(Byte(at), kCheck) || CheckedLength(at) > 0; }

  // Checks every character of [from, to), which ends at ASCII markup.
  bool CheckCharacters(std::size_t from, std::size_t to) const {
    for (std::size_t at = from; at < to;) {
      const std::size_t length = Is(Byte(at), kCheck) ? CheckedLength(at) : 1;
      if (length == 0) return false;
      at += length;
    }
    return true;
  }

  // -------------------------------------------------------------------------------------------
  // The document

  // `<?xml version="1.x" encoding="..." standalone="yes|no"?>`, at the very start.
  bool Declaration() {
    const std::size_t start = pos_;
    pos_ += 5;  // "<?xml"
    bool spaced = SkipSpace();
    if (!spaced || !At("version")) {
      if (Ended()) return FailUnclosedDeclaration(start);
      return Fail(pos_, "la declaraci\xF3n XML no empieza por la versi\xF3n (version=\"1.0\")");
    }
    pos_ += 7;
    const auto version_value = DeclarationValue(start, "version");
    if (!version_value) return false;
    const std::string_view version = *version_value;
    if (!IsVersionNumber(version)) {
      return Fail(OffsetOf(version), "la versi\xF3n \"" + Shown(version) +
                                         "\" de la declaraci\xF3n XML no es v\xE1lida (se espera "
                                         "\"1.0\")");
    }
    spaced = SkipSpace();
    if (spaced && At("encoding")) {
      pos_ += 8;
      const auto name_value = DeclarationValue(start, "encoding");
      if (!name_value) return false;
      const std::string_view name = *name_value;
      if (!IsEncodingName(name)) {
        return Fail(OffsetOf(name), "\"" + Shown(name) +
                                        "\" no es un nombre de codificaci\xF3n v\xE1lido en la "
                                        "declaraci\xF3n XML");
      }
      spaced = SkipSpace();
    }
    if (spaced && At("standalone")) {
      pos_ += 10;
      const auto standalone = DeclarationValue(start, "standalone");
      if (!standalone) return false;
      const std::string_view value = *standalone;
      if (value != "yes" && value != "no") {
        return Fail(OffsetOf(value),
                    "standalone vale \"" + Shown(value) +
                        "\" en la declaraci\xF3n XML, y solo puede valer \"yes\" o "
                        "\"no\"");
      }
      SkipSpace();
    }
    if (At("?>")) {
      pos_ += 2;
      return true;
    }
    if (Ended() || (Byte(pos_) == '?' && pos_ + 1 == size_)) return FailUnclosedDeclaration(start);
    return FailMalformedDeclaration(
        pos_, "solo puede llevar version, encoding y standalone, en ese orden "
              "y separados por espacios");
  }

  // The value of the pseudo-attribute whose `name` has just been read; nullopt at a fault.
  std::optional<std::string_view> DeclarationValue(std::size_t start, std::string_view name) {
    SkipSpace();
    if (Ended()) return Failed(FailUnclosedDeclaration(start));
    if (Byte(pos_) != '=') {
      return Failed(FailMalformedDeclaration(pos_, "falta \"=\" tras " + std::string(name)));
    }
    ++pos_;
    SkipSpace();
    if (Ended()) return Failed(FailUnclosedDeclaration(start));
    const unsigned quote = Byte(pos_);
    if (quote != '"' && quote != '\'') {
      return Failed(FailMalformedDeclaration(
          pos_, "el valor de " + std::string(name) + " no est\xE1 entre comillas"));
    }
    const std::size_t value = ++pos_;
    while (pos_ < size_ && Byte(pos_) != quote && Byte(pos_) != '?' && Byte(pos_) != '>' &&
           Byte(pos_) != '<') {
      ++pos_;
    }
    if (Ended()) return Failed(FailUnclosedDeclaration(start));
    if (Byte(pos_) != quote) {
      return Failed(FailMalformedDeclaration(
          pos_, "el valor de " + std::string(name) + " no se cierra (falta la comilla final)"));
    }
    return text_.substr(value, pos_++ - value);
  }

  // White space, comments and processing instructions before the root element (which this
  // reads whole) or after it.
  bool TopLevel(bool after_root) {
    for (;;) {
      SkipSpace();
      if (Ended()) {
        if (after_root) return true;
        return Fail(pos_, "no contiene ning\xFAn elemento");
      }
      if (Byte(pos_) == '<') {
        if (At("<?")) {
          if (!ProcessingInstruction()) return false;
          continue;
        }
        if (At("<!--")) {
          if (!Comment()) return false;
          continue;
        }
        if (At("<!DOCTYPE")) {
          return Fail(pos_, "tiene una declaraci\xF3n de tipo de documento (<!DOCTYPE>)",
                      WellFormednessFault::Kind::kDocumentType);
        }
        if (NameStartAt(pos_ + 1)) {
          if (after_root) return Fail(pos_, "hay m\xE1s de un elemento ra\xEDz");
          return Element();
        }
        if (At("</")) return Fail(pos_, "hay una etiqueta de cierre sin su etiqueta de apertura");
        if (!At("<![CDATA[")) return Markup();  // fails, naming what is wrong with this '<'
      } else if (Is(Byte(pos_), kCheck)) {
        if (!Allowed(pos_)) return false;  // a character XML forbids is named as such
      }
      return Fail(pos_, "hay texto fuera del elemento ra\xEDz");
    }
  }

  // The root element with everything in it.
  bool Element() {
    if (tree_) tree_->root_begin = pos_;
    if (!StartTag() || !Content(0)) return false;
    if (tree_) tree_->root_end = pos_;
    return true;
  }

  // What the open elements hold, up to the end tag that leaves `depth` of them open.
  bool Content(std::size_t depth) {
    while (open_.size() > depth) {
      PassUntil(kTextStop);
      if (Ended()) {
        const OpenElement& open = open_.back();
        return Fail(open.offset, "el elemento <" + Shown(open.name) + "> no se cierra (falta </" +
                                     Shown(open.name) + ">)");
      }
      switch (Byte(pos_)) {
        case '<':
          if (pos_ >= next_ahead_ && TakeAhead()) break;
          if (!Markup()) return false;
          break;
        case '&':
          if (!Reference()) return false;
          break;
        case ']':
          if (At("]]>")) {
            return Fail(pos_,
                        "el texto contiene \"]]>\", que solo puede cerrar una secci\xF3n CDATA");
          }
          ++pos_;
          break;
        default:
          if (!PassCharacter()) return false;
      }
    }
    return true;
  }

  // -------------------------------------------------------------------------------------------
  // Reading ahead (ReadAhead)

  // The first start tag at or after `from` of an element at the end of a path to read ahead
  // (below the root), and that path: where a run could start.
  struct RunStart {
    std::size_t at;
    std::size_t path;
  };
  std::optional<RunStart> NextRunStart(std::size_t from) const {
    std::optional<RunStart> first;
    for (std::size_t path = 0; path < ahead_paths_->size(); ++path) {
      const std::vector<std::string_view>& names = (*ahead_paths_)[path];
      if (names.size() < 2 || names.back().empty()) continue;
      const std::string_view name = names.back();
      const std::string_view within = text_.substr(0, first ? first->at : size_);
      // The name one past its '<', which is at `from` or after.
      for (std::size_t at = from + 1; (at = within.find(name, at)) != kNpos; ++at) {
        const std::size_t after = at + name.size();
        if (at > 0 && text_[at - 1] == '<' && after < size_ && IsNameEnd(text_[after])) {
          first = RunStart{at - 1, path};
          break;
        }
      }
    }
    return first;
  }

  // Starts the reader beside the scan, `beside` to do once it has read ahead, when there are
  // paths to read and a thread to be had; whether it started.
  bool StartReadingAhead(const ReadAheadPaths& ahead_paths, const std::function<void()>& beside) {
    const std::vector<std::vector<std::string_view>>& paths = ahead_paths.paths;
    if (paths.empty()) return false;
    ahead_paths_ = &paths;
    const std::size_t from = size_ / 16 * std::min<std::size_t>(ahead_paths.start, 16);
    auto ahead = std::make_unique<ReadAhead>();
    try {
      ahead->reader = std::async(std::launch::async,
                                 [text = text_, gleaning = gleaning_, &paths,
                                  noting = tree_ != nullptr, &ahead = *ahead, from, beside] {
                                   Scanner reader(text, gleaning, nullptr);
                                   reader.ahead_paths_ = &paths;
                                   reader.noting_ = noting;
                                   reader.ReadRuns(from, ahead);
                                   if (beside) beside();
                                 });
    } catch (const std::system_error&) {
      return false;  // no thread: the scan reads everything itself
    }
    ahead_ = std::move(ahead);
    next_ahead_ = from;
    return true;
  }

  // The reader's work: every run from `from` on, until the text ends or the scan says stop. The
  // next run starts after the last one's start, even when that one is empty.
  void ReadRuns(std::size_t from, ReadAhead& ahead) {
    reading_ahead_ = true;
    AheadRun* run = nullptr;
    try {
      for (std::optional<RunStart> start = NextRunStart(from); start && !ahead.stop;
           start = NextRunStart(std::max(run->end, run->begin + 1))) {
        {
          const std::lock_guard<std::mutex> lock(ahead.mutex);
          run = &ahead.runs.emplace_back();
          run->begin = run->end = start->at;
          run->path = start->path;
          ahead.changed.notify_all();
        }
        ReadRun(*run, ahead);
        const std::lock_guard<std::mutex> lock(ahead.mutex);
        run->done = true;
        ahead.changed.notify_all();
      }
    } catch (...) {
      // No room for more: the scan reads the rest itself. A run under way ends empty.
      const std::lock_guard<std::mutex> lock(ahead.mutex);
      if (run != nullptr && !run->done) {
        run->end = run->begin;
        run->done = true;
      }
    }
    const std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.finished = true;
    ahead.changed.notify_all();
  }

  // One run: its path's elements from its start, each whole, with blanks between them.
  void ReadRun(AheadRun& run, const ReadAhead& ahead) {
    const std::vector<std::string_view>& names = (*ahead_paths_)[run.path];
    const std::size_t depth = names.size() - 1;
    open_.clear();
    for (std::size_t i = 0; i < depth; ++i) open_.push_back({names[i], 0, kNotNoted});
    prefixes_.clear();
    gleaned_depth_ = kNpos;
    // The elements go to the gleaning that takes the path, or into the run's own tree.
    run.gleaned = GleaningOf(names);
    std::size_t per_element = 0;
    if (run.gleaned != kNpos) {
      run_values_ = &run.values;
      per_element = gleaning_->attributes[run.gleaned].size();
    } else if (noting_) {
      tree_ = &run.tree;
      // Room for the usual share of the rest of the text (as the scan's own tree has).
      run.tree.nodes.reserve((size_ - run.begin) / 128 + 1);
      run.tree.attributes.reserve((size_ - run.begin) / 16 + 1);
    }
    pos_ = run.begin;
    while (!ahead.stop.load(std::memory_order_relaxed) && pos_ < size_ && Byte(pos_) == '<' &&
           text_.compare(pos_ + 1, names.back().size(), names.back()) == 0 &&
           pos_ + 1 + names.back().size() < size_ &&
           IsNameEnd(text_[pos_ + 1 + names.back().size()])) {
      const std::size_t nodes = run.tree.nodes.size(), attributes = run.tree.attributes.size();
      const std::size_t values = run.tree.values.size();
      // Each element gleaned as the run's (its values handed over as its start tag ends), or
      // noted in the run's tree.
      if (!StartTag() ||
          (run.gleaned != kNpos && (gleaned_path_ != run.gleaned ||
                                    run.values.size() != (run.elements + 1) * per_element)) ||
          !Content(depth)) {
        // What the element left is dropped.
        run.tree.nodes.resize(nodes);
        run.tree.attributes.resize(attributes);
        run.tree.values.resize(values);
        break;
      }
      ++run.elements;
      run.end = pos_;
      SkipSpace();
    }
    run.values.resize(run.elements * per_element);
    run_values_ = nullptr;
    tree_ = nullptr;
  }

  // The gleaning path that takes the elements at `names`, kNpos when none does.
  std::size_t GleaningOf(const std::vector<std::string_view>& names) const {
    if (gleaning_ == nullptr) return kNpos;
    for (std::size_t i = 0; i < gleaning_->paths.size(); ++i) {
      if (gleaning_->paths[i] == names) return i;
    }
    return kNpos;
  }

  // A run read into a tree of its own added to the scan's: its elements numbered after those
  // already there, their attributes after theirs, their values that are not the text after
  // theirs.
  void AddTree(const ElementTree& run) {
    const std::uint32_t nodes = Offset(tree_->nodes.size());
    const std::uint32_t attributes = Offset(tree_->attributes.size());
    const std::uint32_t values = Offset(tree_->values.size());
    for (const ElementTree::Node& node : run.nodes) {
      tree_->nodes.push_back({node.name, node.attributes + attributes, node.end + nodes});
    }
    for (const ElementTree::Attribute& attribute : run.attributes) {
      tree_->attributes.push_back(
          {attribute.name, attribute.value >= size_ ? attribute.value + values : attribute.value,
           attribute.value_size});
    }
    tree_->values += run.values;
  }

  // At a '<' at or past where the next run may start: the run taken when it starts here, with
  // its path's elements open around it and no gleaned one; whether one was.
  bool TakeAhead() {
    std::unique_lock<std::mutex> lock(ahead_->mutex);
    for (;;) {
      ahead_->changed.wait(lock,
                           [&] { return next_run_ < ahead_->runs.size() || ahead_->finished; });
      if (next_run_ >= ahead_->runs.size()) {
        next_ahead_ = kNpos;
        return false;
      }
      AheadRun& run = ahead_->runs[next_run_];
      if (run.begin > pos_) {
        next_ahead_ = run.begin;
        return false;
      }
      ++next_run_;
      if (run.begin < pos_ || !OpenAsIn(run.path)) continue;  // passed, or read otherwise
      if (!run.done) {
        // Still being read: the reader stops after the element it is at, and the scan reads
        // what follows the run itself.
        ahead_->stop = true;
        ahead_->changed.wait(lock, [&] { return run.done; });
      }
      if (run.end == run.begin) continue;
      lock.unlock();
      if (run.gleaned != kNpos) {
        const std::size_t per_element = gleaning_->attributes[run.gleaned].size();
        gleaned_values_.resize(per_element);
        for (std::size_t element = 0; element < run.elements; ++element) {
          for (std::size_t i = 0; i < per_element; ++i) {
            const AheadRun::Value value = run.values[element * per_element + i];
            gleaned_values_[i] = value.at == AheadRun::kNoValue
                                     ? std::nullopt
                                     : std::optional(text_.substr(value.at, value.size));
          }
          gleaning_->take(run.gleaned, gleaned_values_);
        }
      } else if (tree_) {
        AddTree(run.tree);
      }
      std::vector<AheadRun::Value>().swap(run.values);
      run.tree = ElementTree();
      pos_ = run.end;
      lock.lock();
      next_ahead_ = next_run_ < ahead_->runs.size() ? ahead_->runs[next_run_].begin
                    : ahead_->finished              ? kNpos
                                                    : pos_;
      return true;
    }
  }

  // Whether the elements open are those of a path to read ahead but its last, none of them
  // gleaned.
  bool OpenAsIn(std::size_t path) const {
    const std::vector<std::string_view>& names = (*ahead_paths_)[path];
    if (gleaned_depth_ != kNpos || open_.size() + 1 != names.size()) return false;
    for (std::size_t i = 0; i < open_.size(); ++i) {
      if (open_[i].name != names[i]) return false;
    }
    return true;
  }

  // Whatever starts with '<' inside an element.
  bool Markup() {
    if (NameStartAt(pos_ + 1)) return StartTag();
    if (At("</")) return EndTag();
    if (At("<!--")) return Comment();
    if (At("<![CDATA[")) return CData();
    if (At("<?")) return ProcessingInstruction();
    if (At("<!")) {
      return Fail(pos_, "\"<!\" no abre un comentario (<!-- -->) ni una secci\xF3n CDATA");
    }
    return Fail(pos_, "hay un \"<\" que no abre ninguna etiqueta (en el texto se escribe &lt;)");
  }

  bool StartTag() {
    const std::size_t start = pos_++;
    const std::string_view name = Name();
    ClearAttributes();
    const bool gleaned = Gleaned(name);
    // Neither a gleaned element nor anything inside one goes into the tree.
    const std::uint32_t node =
        tree_ && !gleaned && gleaned_depth_ == kNpos ? Note(start + 1) : kNotNoted;
    for (;;) {
      std::size_t attribute_start = pos_ + 1;
      std::size_t value_start = 0;
      std::string_view attribute = PlainAttribute(value_start);
      if (!attribute.empty()) {
        if (Repeated(attribute)) return FailRepeated(attribute_start, attribute, name);
      } else {
        const bool spaced = SkipSpace();
        if (Ended()) return FailUnclosedTag(start, name);
        const unsigned b = Byte(pos_);
        if (b == '>') {
          ++pos_;
          if (!CheckPrefixes(start, name)) return false;
          if (gleaned) Glean(false);
          open_.push_back({name, start, node});
          return true;
        }
        if (b == '/') {
          if (pos_ + 1 == size_) return FailUnclosedTag(start, name);
          if (Byte(pos_ + 1) != '>') {
            return Fail(pos_ + 1, "en la etiqueta <" + Shown(name) + "> falta \">\" tras \"/\"");
          }
          pos_ += 2;
          if (!CheckPrefixes(start, name)) return false;
          if (gleaned) Glean(true);
          if (node != kNotNoted) tree_->nodes[node].end = Offset(tree_->nodes.size());
          EndScope();
          return true;
        }
        if (!NameStartAt(pos_)) {
          if (!Allowed(pos_)) return false;
          return Fail(pos_, "la etiqueta <" + Shown(name) + "> contiene \"" +
                                ShownCharacterAt(pos_) +
                                "\" donde se esperaba un atributo o el final de la etiqueta");
        }
        attribute_start = pos_;
        attribute = Name();
        if (!spaced) {
          return Fail(attribute_start, "falta un espacio antes del atributo \"" + Shown(attribute) +
                                           "\" en la etiqueta <" + Shown(name) + ">");
        }
        if (name_qualified_) qualified_.push_back({attribute, attribute_start});
        if (Repeated(attribute)) return FailRepeated(attribute_start, attribute, name);
        SkipSpace();
        if (Ended()) return FailUnclosedTag(start, name);
        if (Byte(pos_) != '=') {
          return Fail(pos_, "falta \"=\" tras el atributo \"" + Shown(attribute) +
                                "\" en la etiqueta <" + Shown(name) + ">");
        }
        ++pos_;
        SkipSpace();
        if (Ended()) return FailUnclosedTag(start, name);
        value_start = pos_ + 1;
        if (!AttributeValue(attribute)) return false;
      }
      if (gleaned) Keep(attribute, value_start);
      if (node != kNotNoted) NoteAttribute(attribute_start, value_start);
    }
  }

  bool FailRepeated(std::size_t at, std::string_view attribute, std::string_view name) const {
    return Fail(at, "el atributo \"" + Shown(attribute) + "\" est\xE1 repetido en el elemento <" +
                        Shown(name) + ">");
  }

  // The commonest attribute: a blank, a name of ASCII letters, digits, '_', '-' and '.', then
  // ="text" with nothing in the text that needs a closer look, all within the next two blocks.
  // Read whole: its name, with the start of its value in `value_start`; empty, with nothing
  // passed, for any other, which is read piece by piece.
  [[gnu::always_inline]] std::string_view PlainAttribute(std::size_t& value_start) {
#if defined(__SSE2__)
    const std::size_t at = pos_;
    const char* const text = text_.data();
    if (at + 2 * kBlock + 2 > size_ || text[at] != ' ' || !Is(Byte(at + 1), kNameStart)) return {};
    const NameBlock name = JudgeName(text + at + 1);
    const int length = std::countr_one(name.name_bytes);
    if (length == static_cast<int>(kBlock) || (name.colons & ((1u << length) - 1)) != 0) return {};
    const std::size_t equals = at + 1 + static_cast<std::size_t>(length);
    if (text[equals] != '=' || text[equals + 1] != '"') return {};
    const unsigned stops = JudgeStops(text + equals + 2, kValueStop);
    if (stops == 0) return {};
    const std::size_t end = equals + 2 + static_cast<std::size_t>(std::countr_zero(stops));
    if (text[end] != '"') return {};
    value_start = equals + 2;
    value_parsed_ = false;
    pos_ = end + 1;
    return std::string_view(text + at + 1, static_cast<std::size_t>(length));
#else
    static_cast<void>(value_start);
    return {};
#endif
  }

  // A new element in the tree, its attributes to follow; its index.
  std::uint32_t Note(std::size_t name) {
    const std::uint32_t index = Offset(tree_->nodes.size());
    tree_->nodes.push_back({Offset(name), Offset(tree_->attributes.size()), index + 1});
    return index;
  }

  // The attribute just read (its value ends before the closing quote).
  [[gnu::always_inline]] void NoteAttribute(std::size_t name, std::size_t value) {
    const std::size_t value_size = pos_ - 1 - value;
    if (!value_parsed_) {
      tree_->attributes.push_back({Offset(name), Offset(value), Offset(value_size)});
      return;
    }
    NoteParsedAttribute(name, value, value_size);
  }

  void NoteParsedAttribute(std::size_t name, std::size_t value, std::size_t value_size) {
    const std::string_view parsed = ParsedAttributeValue(text_.substr(value, value_size), parsed_);
    tree_->attributes.push_back(
        {Offset(name), Offset(size_ + tree_->values.size()), Offset(parsed.size())});
    tree_->values += parsed;
  }

  // Whether the element whose start tag is being read, inside the open ones, is at a path of
  // the gleaning (its index kept for Glean).
  bool Gleaned(std::string_view name) {
    // Inside a gleaned element, the rest is part of it.
    if (gleaning_ == nullptr || gleaned_depth_ != kNpos) return false;
    const std::vector<std::vector<std::string_view>>& paths = gleaning_->paths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      const std::vector<std::string_view>& path = paths[i];
      if (path.size() != open_.size() + 1 || path.back() != name) continue;
      bool within = true;
      for (std::size_t depth = 0; within && depth < open_.size(); ++depth) {
        within = open_[depth].name == path[depth];
      }
      if (!within) continue;
      gleaned_path_ = i;
      gleaned_values_.assign(gleaning_->attributes[i].size(), std::nullopt);
      next_asked_ = 0;
      return true;
    }
    return false;
  }

  // An attribute of a gleaned element just read: its value kept when its name is one asked for.
  // Most are not, and their marks tell so at once; those asked for mostly come in the order they
  // were asked, so the name after the last kept is tried first.
  void Keep(std::string_view attribute, std::size_t value_start) {
    const Asked& asked = asked_[gleaned_path_];
    if ((asked.marks & MarkOf(attribute)) == 0) return;
    const std::vector<std::string_view>& names = gleaning_->attributes[gleaned_path_];
    std::size_t i = next_asked_;
    if (!asked.once || i >= names.size() || !SameText(names[i], attribute)) {
      i = 0;
      while (i < names.size() && !SameText(names[i], attribute)) ++i;
      if (i == names.size()) return;
    }
    gleaned_values_[i] = text_.substr(value_start, pos_ - 1 - value_start);
    next_asked_ = i + 1;
  }

  // The start tag of a gleaned element has ended: its attributes handed over, and what is inside
  // it, when the tag does not close it, passed over by the tree.
  void Glean(bool closed) {
    if (run_values_ != nullptr) {
      for (const std::optional<std::string_view>& value : gleaned_values_) {
        run_values_->push_back(
            value ? AheadRun::Value{Offset(OffsetOf(*value)), Offset(value->size())}
                  : AheadRun::Value{});
      }
    } else {
      gleaning_->take(gleaned_path_, gleaned_values_);
    }
    if (!closed) gleaned_depth_ = open_.size();
  }

  bool AttributeValue(std::string_view attribute) {
    const unsigned quote = Byte(pos_);
    if (quote != '"' && quote != '\'') {
      return Fail(pos_,
                  "el valor del atributo \"" + Shown(attribute) + "\" no est\xE1 entre comillas");
    }
    const std::size_t open = pos_++;
    value_parsed_ = false;
    for (;;) {
      PassUntil(kValueStop);
      if (Ended()) {
        return Fail(open, "el valor del atributo \"" + Shown(attribute) +
                              "\" no se cierra (falta la comilla final)");
      }
      const unsigned b = Byte(pos_);
      if (b == quote) {
        ++pos_;
        return true;
      }
      if (b == '"' || b == '\'') {
        ++pos_;
      } else if (b == '\t' || b == '\r' || b == '\n') {
        ++pos_;
        value_parsed_ = true;
      } else if (b == '<') {
        return Fail(pos_, "el valor del atributo \"" + Shown(attribute) +
                              "\" contiene \"<\" (se escribe &lt;)");
      } else if (b == '&') {
        if (!Reference()) return false;
        value_parsed_ = true;
      } else {
        if (!PassCharacter()) return false;
      }
    }
  }

  void ClearAttributes() {
    attribute_count_ = 0;
    attribute_marks_ = 0;
    qualified_.clear();
    // A fresh set rather than clear(): clearing walks every bucket the set ever grew to.
    if (!attribute_set_.empty()) attribute_set_ = {};
  }

  // One of 64 bits, by a name's length and last letter.
  static std::uint64_t MarkOf(std::string_view name) {
    const unsigned last = static_cast<unsigned char>(name.back());
    return std::uint64_t{1} << ((name.size() * 7 + last) % 64);
  }

  // Whether the element has this attribute already; notes it when not. A few attributes are
  // compared one by one, and only when an earlier one left the same mark (of its length and last
  // letter: most attributes are told apart by it); an element with many goes to a hash set.
  [[gnu::always_inline]] bool Repeated(std::string_view attribute) {
    if (attribute_count_ < kFewAttributes) {
      const std::uint64_t mark = MarkOf(attribute);
      if ((attribute_marks_ & mark) != 0 && AmongFew(attribute)) return true;
      attribute_marks_ |= mark;
      // From its two halves: the view as a whole was read back in one 16-byte load from the two
      // 8-byte stores that had just made it, a stall of the store buffer on every attribute.
      attributes_[attribute_count_++] = std::string_view(attribute.data(), attribute.size());
      if (attribute_count_ == kFewAttributes)
        attribute_set_.insert(attributes_.begin(), attributes_.end());
      return false;
    }
    return !attribute_set_.insert(attribute).second;
  }

  bool AmongFew(std::string_view attribute) const {
    return std::find(attributes_.begin(), attributes_.begin() + attribute_count_, attribute) !=
           attributes_.begin() + attribute_count_;
  }

  bool EndTag() {
    const std::size_t start = pos_;
    pos_ += 2;  // "</"
    if (!NameStartAt(pos_)) {
      if (Ended()) return Fail(start, "la etiqueta de cierre no se cierra (falta \">\")");
      return Fail(pos_, "\"</\" no va seguido del nombre de un elemento");
    }
    const std::string_view name = Name();
    if (Ended()) {
      return Fail(start, "la etiqueta de cierre </" + Shown(name) + "> no se cierra (falta \">\")");
    }
    const OpenElement& open = open_.back();
    if (name != open.name) {
      return Fail(start, "la etiqueta de cierre </" + Shown(name) +
                             "> no corresponde a la de apertura <" + Shown(open.name) +
                             "> de la l\xEDnea " +
                             std::to_string(PositionIn(text_, open.offset).line));
    }
    SkipSpace();
    if (Ended()) {
      return Fail(start, "la etiqueta de cierre </" + Shown(name) + "> no se cierra (falta \">\")");
    }
    if (Byte(pos_) != '>') {
      if (!Allowed(pos_)) return false;
      return Fail(pos_, "la etiqueta de cierre </" + Shown(name) + "> contiene \"" +
                            ShownCharacterAt(pos_) + "\" donde se esperaba \">\"");
    }
    ++pos_;
    if (open.node != kNotNoted) tree_->nodes[open.node].end = Offset(tree_->nodes.size());
    open_.pop_back();
    if (gleaned_depth_ == open_.size()) gleaned_depth_ = kNpos;
    EndScope();
    return true;
  }

  // -------------------------------------------------------------------------------------------
  // Namespace prefixes: a name "p:local" needs an xmlns:p on its element or on one around it.

  static std::string_view PrefixOf(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == kNpos || colon == 0 ? std::string_view() : name.substr(0, colon);
  }

  bool Declared(std::string_view prefix) const {
    if (prefix == "xml") return true;
    for (const Prefix& declared : prefixes_) {
      if (declared.prefix == prefix) return true;
    }
    return false;
  }

  // At the end of a start tag, before the element is open: the declarations of its attributes,
  // then the prefixes of its name and of its attributes.
  bool CheckPrefixes(std::size_t start, std::string_view name) {
    // Reading ahead, the prefixes declared around the run are not known: the scan reads it.
    if (reading_ahead_ && (!qualified_.empty() || name.find(':') != kNpos)) return Fail(start, {});
    constexpr std::string_view kDeclaration = "xmlns";
    for (const Qualified& attribute : qualified_) {
      if (PrefixOf(attribute.name) == kDeclaration) {
        prefixes_.push_back({attribute.name.substr(kDeclaration.size() + 1), open_.size()});
      }
    }
    auto fail = [&](std::size_t at, std::string what, std::string_view prefix) {
      return Fail(at, what + " lleva el prefijo \"" + Shown(prefix) +
                          "\", que no est\xE1 declarado (falta xmlns:" + Shown(prefix) +
                          " en ese elemento o en uno que lo contenga)");
    };
    if (const std::string_view prefix = PrefixOf(name); !prefix.empty() && !Declared(prefix)) {
      return fail(start, "el elemento <" + Shown(name) + ">", prefix);
    }
    for (const Qualified& attribute : qualified_) {
      const std::string_view prefix = PrefixOf(attribute.name);
      if (!prefix.empty() && prefix != kDeclaration && !Declared(prefix)) {
        return fail(
            attribute.offset,
            "el atributo \"" + Shown(attribute.name) + "\" de la etiqueta <" + Shown(name) + ">",
            prefix);
      }
    }
    return true;
  }

  // An element has ended: the prefixes it declared go with it.
  void EndScope() {
    while (!prefixes_.empty() && prefixes_.back().depth >= open_.size()) prefixes_.pop_back();
  }

  bool Comment() {
    const std::size_t start = pos_;
    const std::size_t dashes = text_.find("--", start + 4);
    if (dashes == kNpos || dashes + 2 == size_) {
      return Fail(start, "el comentario no se cierra (falta \"-->\")");
    }
    if (!CheckCharacters(start + 4, dashes)) return false;
    if (Byte(dashes + 2) != '>') {
      return Fail(dashes,
                  "el comentario contiene \"--\", que solo puede ir en el \"-->\" que lo cierra");
    }
    pos_ = dashes + 3;
    return true;
  }

  bool CData() {
    const std::size_t start = pos_;
    const std::size_t end = text_.find("]]>", start + 9);
    if (end == kNpos) return Fail(start, "la secci\xF3n CDATA no se cierra (falta \"]]>\")");
    if (!CheckCharacters(start + 9, end)) return false;
    pos_ = end + 3;
    return true;
  }

  bool ProcessingInstruction() {
    const std::size_t start = pos_;
    pos_ += 2;  // "<?"
    if (!NameStartAt(pos_)) {
      if (Ended()) return Fail(start, "la instrucci\xF3n de proceso no se cierra (falta \"?>\")");
      return Fail(pos_, "falta el nombre de la instrucci\xF3n de proceso tras \"<?\"");
    }
    const std::string_view target = Name();
    if (IsReservedTarget(target)) {
      if (target == "xml") {
        return Fail(start, "la declaraci\xF3n XML solo puede ir al principio del documento");
      }
      return Fail(start,
                  "el nombre \"" + Shown(target) +
                      "\" est\xE1 reservado y no puede nombrar una instrucci\xF3n de proceso");
    }
    if (At("?>")) {
      pos_ += 2;
      return true;
    }
    auto fail_unclosed = [&] {
      return Fail(start, "la instrucci\xF3n de proceso \"" + Shown(target) +
                             "\" no se cierra (falta \"?>\")");
    };
    if (Ended() || (Byte(pos_) == '?' && pos_ + 1 == size_)) return fail_unclosed();
    if (!Is(Byte(pos_), kSpace)) {
      if (!Allowed(pos_)) return false;
      return Fail(pos_, "falta un espacio tras el nombre de la instrucci\xF3n de proceso \"" +
                            Shown(target) + "\"");
    }
    const std::size_t end = text_.find("?>", pos_);
    if (end == kNpos) return fail_unclosed();
    if (!CheckCharacters(pos_, end)) return false;
    pos_ = end + 2;
    return true;
  }

  // `&name;` or `&#digits;` / `&#xhex;`, in text or in an attribute value.
  bool Reference() {
    const std::size_t start = pos_++;
    if (pos_ < size_ && Byte(pos_) == '#') {
      return CharacterReference(start);
    }
    if (!NameStartAt(pos_)) return Fail(start, "hay un \"&\" suelto (se escribe &amp;)");
    const std::string_view name = Name();
    if (Ended() || Byte(pos_) != ';') {
      return Fail(start, "la referencia \"&" + Shown(name) + "\" no termina en \";\"");
    }
    ++pos_;
    if (!IsPredefinedEntity(name)) {
      return Fail(start, "la entidad \"&" + Shown(name) +
                             ";\" no est\xE1 definida (solo se admiten &lt;, &gt;, &amp;, &quot; y "
                             "&apos;)");
    }
    return true;
  }

  bool CharacterReference(std::size_t start) {
    ++pos_;  // '#'
    const bool hex = pos_ < size_ && Byte(pos_) == 'x';
    if (hex) ++pos_;
    const std::size_t digits = pos_;
    constexpr char32_t kBeyondUnicode = 0x110000;
    char32_t value = 0;
    for (; pos_ < size_; ++pos_) {
      const unsigned digit = ReferenceDigit(Byte(pos_), hex);
      if (digit == 16) break;
      value = std::min<char32_t>(value * (hex ? 16 : 10) + digit, kBeyondUnicode);
    }
    if (pos_ == digits || Ended() || Byte(pos_) != ';') {
      return Fail(start, "la referencia de car\xE1"
                         "cter \"" +
                             ShownReference(start) +
                             "\" est\xE1 mal formada (se escribe as\xED: &#233; o &#xE9;)");
    }
    ++pos_;
    if (!IsXmlCharacter(value)) {
      return Fail(start, "la referencia de car\xE1"
                         "cter \"" +
                             Shown(text_.substr(start, pos_ - start)) +
                             "\" designa un car\xE1"
                             "cter no permitido en XML");
    }
    return true;
  }

  // A malformed reference for its message: up to its ';' when one follows shortly, else up to
  // where it went wrong.
  std::string ShownReference(std::size_t start) const {
    std::size_t end = start + 1;
    for (; end < size_ && end - start < 16; ++end) {
      const unsigned b = Byte(end);
      if (b == ';') return Shown(text_.substr(start, end + 1 - start));
      if (b <= ' ' || b >= 0x7F || b == '<' || b == '&' || b == '"' || b == '\'') break;
    }
    return Shown(text_.substr(start, std::min(end, pos_ + 1) - start));
  }

  std::string_view text_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::vector<OpenElement> open_;
  mutable std::optional<WellFormednessFault> fault_;  // the first one, once found
  static constexpr std::size_t kFewAttributes = 16;
  std::array<std::string_view, kFewAttributes> attributes_;  // the first of the start tag read
  std::size_t attribute_count_ = 0;                          // how many of them
  std::uint64_t attribute_marks_ = 0;                 // their marks (Repeated)
  bool name_qualified_ = false;                       // the last name read has a ':'
  struct Qualified {
    std::string_view name;
    std::size_t offset;
  };
  std::vector<Qualified> qualified_;  // its attributes whose names have a ':'
  struct Prefix {
    std::string_view prefix;
    std::size_t depth;  // how many elements were open around the one that declared it
  };
  std::vector<Prefix> prefixes_;  // declared by the open elements, outermost first
  std::unordered_set<std::string_view> attribute_set_;
  Gleaning* gleaning_ = nullptr;
  std::vector<std::optional<std::string_view>> gleaned_values_;  // of the gleaned start tag
  std::size_t gleaned_path_ = 0;
  std::size_t next_asked_ = 0;              // of its names, the one after the last kept
  struct Asked {
    std::uint64_t marks = 0;  // of its names (Keep)
    bool once = true;         // every name asked for once
  };
  std::vector<Asked> asked_;           // for each path of the gleaning
  std::size_t gleaned_depth_ = kNpos;  // how many elements are open around an open gleaned one
  ElementTree* tree_ = nullptr;
  bool value_parsed_ = false;  // the value just read is not its text as written
  std::string parsed_;         // its parsed text then
  // Reading ahead: the paths to read, whether this scanner is the reader, whether the scan notes
  // a tree, and the values of the gleaned run being read.
  const std::vector<std::vector<std::string_view>>* ahead_paths_ = nullptr;
  bool reading_ahead_ = false;
  bool noting_ = false;
  std::vector<AheadRun::Value>* run_values_ = nullptr;
  // The scan: the reader beside it, the next of its runs, and where that run may start.
  std::unique_ptr<ReadAhead> ahead_;
  std::size_t next_run_ = 0;
  std::size_t next_ahead_ = kNpos;
};

}  // namespace

template <typename Offset>
std::vector<Offset> LineEnds(std::string_view text, std::size_t limit) {
  limit = std::min(limit, text.size());
  std::vector<Offset> ends;
  const char* const begin = text.data();
  // Room for a line in every sixteen bytes, taken at once (ITACA writes an element a line, twenty
  // bytes and more): grown by doubling, a document's list was copied and faulted in afresh at
  // every growth. Room never written to costs no memory.
  ends.reserve(limit / 16);
  auto scan = [&](char c, auto&& keep) {
    for (std::size_t at = 0; at < limit;) {
      const void* hit = std::memchr(begin + at, c, limit - at);
      if (!hit) break;
      const auto offset = static_cast<std::size_t>(static_cast<const char*>(hit) - begin);
      if (keep(offset)) ends.push_back(static_cast<Offset>(offset));
      at = offset + 1;
    }
  };
  scan('\n', [](std::size_t) { return true; });
  const std::size_t line_feeds = ends.size();
  scan('\r', [&](std::size_t at) { return at + 1 >= text.size() || begin[at + 1] != '\n'; });
  if (ends.size() != line_feeds) std::sort(ends.begin(), ends.end());
  return ends;
}

template std::vector<std::size_t> LineEnds(std::string_view, std::size_t);
template std::vector<std::uint32_t> LineEnds(std::string_view, std::size_t);

TextPosition PositionIn(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  const std::vector<std::size_t> ends = LineEnds(text, offset);
  TextPosition position;
  position.line = static_cast<int>(ends.size()) + 1;
  for (std::size_t i = ends.empty() ? 0 : ends.back() + 1; i < offset; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++position.column;
  }
  return position;
}

std::string_view ParsedAttributeValue(std::string_view raw, std::string& out) {
  if (std::none_of(raw.begin(), raw.end(),
                   [](char c) { return c == '&' || c == '\t' || c == '\n' || c == '\r'; })) {
    return raw;
  }
  out.clear();
  for (std::size_t at = 0; at < raw.size();) {
    const char c = raw[at];
    if (c == '\r' || c == '\n' || c == '\t') {
      out += ' ';
      at += c == '\r' && at + 1 < raw.size() && raw[at + 1] == '\n' ? 2 : 1;
      continue;
    }
    if (c != '&') {
      out += c;
      ++at;
      continue;
    }
    const std::size_t end = raw.find(';', at);
    const std::string_view name = raw.substr(at + 1, end - at - 1);
    at = end + 1;
    if (const char entity = PredefinedEntity(name)) {
      out += entity;
      continue;
    }
    const bool hex = name.size() > 1 && name[1] == 'x';
    char32_t code = 0;
    for (const char digit : name.substr(hex ? 2 : 1)) {
      code = code * (hex ? 16 : 10) + ReferenceDigit(static_cast<unsigned char>(digit), hex);
    }
    char bytes[4];
    out.append(bytes, EncodeUtf8(code, bytes));
  }
  return out;
}

std::optional<WellFormednessFault> FirstWellFormednessFault(std::string_view text,
                                                            Gleaning* gleaning, ElementTree* tree,
                                                            const ReadAheadPaths& ahead,
                                                            const std::function<void()>& beside) {
  return Scanner(text, gleaning, tree).Document(ahead, beside);
}

}  // namespace tc::itaca::detail

// libFuzzer target for the ITACA document loader. Whatever the bytes, loading either refuses them
// with a DocumentError or gives a document that can be read and written back out; a document
// written in UTF-8 or UTF-16 must load again. Any other exception, a crash or a sanitizer report
// is a finding. How to build and run it: fuzz/README.md.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "itaca/document.h"
#include "base/error.h"

namespace {

using tc::itaca::Document;

// Whether the bytes name an encoding anywhere, in an 8-bit or a UTF-16 form. Without one the
// document is written in UTF-8, which holds every character, so the writing must load again.
bool NamesAnEncoding(std::string_view bytes) {
  using namespace std::string_view_literals;
  return bytes.find("encoding"sv) != std::string_view::npos ||
         bytes.find("e\0n\0c\0o\0d\0i\0n\0g"sv) != std::string_view::npos;
}

[[noreturn]] void Finding(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::optional<Document> document;
  try {
    document.emplace(Document::Parse(bytes, "fuzz.xml"));
  } catch (const tc::DocumentError&) {
    return 0;  // refused, with its message
  }

  // What the conversion reads: every collection, its keys and the template dialog's values.
  for (std::string_view path : {tc::itaca::kCentro, tc::itaca::kTemplates, tc::itaca::kPeriods,
                                tc::itaca::kTeachers, tc::itaca::kGroupTimetables}) {
    for (const tc::itaca::Element& element : document->Select(path)) {
      (void)element.TryAttr("codigo");
      (void)element.DialogAttr("descripcion_cas");
      (void)element.Line();
    }
  }

  std::string written;
  try {
    written = document->Serialize();
  } catch (const tc::Error& error) {
    Finding("a loaded document cannot be written", error.what());
  }
  if (!NamesAnEncoding(bytes)) {
    try {
      Document::Parse(written, "written.xml");
    } catch (const tc::Error& error) {
      Finding("a written document does not load again", error.what());
    }
  }
  return 0;
}

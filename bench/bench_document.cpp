// Loading an ITACA document: pugixml alone (the floor), the decoding and well-formedness check
// alone, and the whole Document::Parse (decoding, check, parse), on the synthetic school of
// make_school.py at scales 1 and 10 (2.5 and 25 MB).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include <pugixml.hpp>

#include "base/error.h"
#include "itaca/document.h"

namespace {

namespace fs = std::filesystem;

// The document of a scale, written once by make_school.py (beside this file) and kept in memory.
const std::string& School(int scale) {
  static std::map<int, std::string> documents;
  auto found = documents.find(scale);
  if (found != documents.end()) return found->second;
  const fs::path script = fs::path(__FILE__).parent_path() / "make_school.py";
  const fs::path file = fs::temp_directory_path() /
                        ("tc-bench-school-" + std::to_string(std::random_device{}()) + ".xml");
  const std::string command =
      "python3 '" + script.string() + "' " + std::to_string(scale) + " '" + file.string() + "'";
  std::string text;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(file, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::error_code ignored;
  fs::remove(file, ignored);
  return documents.emplace(scale, std::move(text)).first->second;
}

template <typename Load>
void Measure(benchmark::State& state, const std::string& text, Load load) {
  if (text.empty()) {
    state.SkipWithError("make_school.py did not write the document");
    return;
  }
  for (auto _ : state) load(text);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

template <typename Load>
void Measure(benchmark::State& state, Load load) {
  Measure(state, School(static_cast<int>(state.range(0))), load);
}

void BM_PugixmlAlone(benchmark::State& state) {
  Measure(state, [](const std::string& text) {
    pugi::xml_document document;
    benchmark::DoNotOptimize(document.load_buffer(
        text.data(), text.size(),
        pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi,
        pugi::encoding_utf8));
  });
}

// The school with a control character after the root: decoded and checked to its last byte,
// then refused before pugixml sees it.
void BM_DecodingAndCheck(benchmark::State& state) {
  const std::string& school = School(static_cast<int>(state.range(0)));
  Measure(state, school.empty() ? school : school + "\x01", [](const std::string& text) {
    try {
      tc::itaca::Document::Parse(text, "escuela.xml");
    } catch (const tc::DocumentError&) {
      return;
    }
    std::abort();
  });
}

void BM_DocumentParse(benchmark::State& state) {
  Measure(state, [](const std::string& text) {
    benchmark::DoNotOptimize(tc::itaca::Document::Parse(text, "escuela.xml"));
  });
}

BENCHMARK(BM_PugixmlAlone)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodingAndCheck)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DocumentParse)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

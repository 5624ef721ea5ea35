// Codes that collide at scale: every room with the same ITACA code, every teacher with the same
// initials, every group with the same code. Each stage gives n numbered codes; this measures that
// the cost stays linear in n (20,000 rooms of one code convert in well under a second).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "conversion/conversion.h"
#include "itaca/document.h"
#include "store/staged_tables.h"

namespace {

namespace fs = std::filesystem;

// Answers Yes to both questions: every template, idle groups and teachers removed.
class Yes : public tc::Questions {
 public:
  bool Confirm(tc::Question) override { return true; }
};

std::string CollidingSchool(int rooms, int teachers, int groups) {
  std::string xml = "<centro><aulas>";
  for (int i = 0; i < rooms; ++i) xml += "<aula codigo=\"A101\" nombre=\"Aula\"/>";
  xml += "</aulas><docentes>";
  for (int i = 0; i < teachers; ++i) {
    xml += "<docente apellido1=\"Garcia\" apellido2=\"Marti\" nombre=\"Joan\" tipo_docente=\"P\""
           " documento=\"" + std::to_string(i) + "\" ensenanza=\"E\" email1=\"x\"/>";
  }
  xml += "</docentes><grupos>";
  for (int i = 0; i < groups; ++i) {
    xml += "<grupo codigo=\"1ESOA\" nombre=\"G\" turno=\"M\" ensenanza=\"E\" tutor_ppal=\"\""
           " tutor_sec=\"\"/>";
  }
  return xml + "</grupos></centro>";
}

fs::path ScratchFolder() {
  fs::path dir = fs::temp_directory_path() /
                 ("tc-bench-codes-" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  return dir;
}

void Convert(benchmark::State& state, int rooms, int teachers, int groups) {
  const tc::itaca::Document document =
      tc::itaca::Document::Parse(CollidingSchool(rooms, teachers, groups), "bench.xml");
  const fs::path dir = ScratchFolder();
  Yes yes;
  for (auto _ : state) {
    tc::store::StagedTables tables{tc::store::Database(dir)};
    tc::ConversionState conversion;
    benchmark::DoNotOptimize(tc::ConvertDocument(document, conversion, yes, tables));
    tables.Drop();
  }
  fs::remove_all(dir);
}

void BM_RoomsOfOneCode(benchmark::State& state) {
  Convert(state, static_cast<int>(state.range(0)), 0, 0);
}
void BM_TeachersOfTheSameInitials(benchmark::State& state) {
  Convert(state, 0, static_cast<int>(state.range(0)), 0);
}
void BM_GroupsOfOneCode(benchmark::State& state) {
  Convert(state, 0, 0, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_RoomsOfOneCode)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TeachersOfTheSameInitials)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupsOfOneCode)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// The table engine at size: appending 100,000 rows, walking them, finding the last one, and
// packing after deleting half. Each figure includes closing (writing the file) where the
// operation changes the table.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "store/schemas.h"
#include "store/table.h"

namespace {

namespace fs = std::filesystem;
using tc::store::OpenMode;
using tc::store::Table;

constexpr int kRows = 100000;

// A folder of its own under the system's temporary folder, removed at the end.
class Scratch {
 public:
  Scratch() {
    path_ = fs::temp_directory_path() / ("tc-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  fs::path file(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// ASIGT, the widest working table, filled with `rows` lessons.
void FillLessons(const fs::path& path, int rows) {
  Table table = Table::Create(path, tc::store::AsigtTable().fields);
  for (int i = 0; i < rows; ++i) {
    table.Append();
    table.SetText("CASIG", "S" + std::to_string(i % 600));
    table.SetText("CPROF", "P" + std::to_string(i % 120));
    table.SetText("CGRUP", "G" + std::to_string(i % 40));
    table.SetText("CLAVE", std::to_string(100000 + i % 4000));
    table.SetText("CLAVECURSO", std::to_string(i % 60));
    table.SetText("ASIG_ITACA", "IT" + std::to_string(i));
    table.SetFloat("HORAS", 4);
    table.SetText("CTAREA", "*479");
    table.Post();
  }
  table.Close();
}

void BM_Append(benchmark::State& state) {
  Scratch scratch;
  for (auto _ : state) FillLessons(scratch.file("ASIGT.DBF"), kRows);
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Append)->Unit(benchmark::kMillisecond);

void BM_Walk(benchmark::State& state) {
  Scratch scratch;
  FillLessons(scratch.file("ASIGT.DBF"), kRows);
  for (auto _ : state) {
    Table table = Table::Open(scratch.file("ASIGT.DBF"), OpenMode::Shared);
    double hours = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      hours += table.GetFloat("HORAS");
      benchmark::DoNotOptimize(table.GetText("CASIG"));
    }
    benchmark::DoNotOptimize(hours);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Walk)->Unit(benchmark::kMillisecond);

// The first lookup on a key set builds its index: opening, one Locate of the last row.
void BM_LocateLastFirstTime(benchmark::State& state) {
  Scratch scratch;
  FillLessons(scratch.file("ASIGT.DBF"), kRows);
  const std::string last = "IT" + std::to_string(kRows - 1);
  for (auto _ : state) {
    Table table = Table::Open(scratch.file("ASIGT.DBF"), OpenMode::Shared);
    if (!table.Locate("CLAVE;CLAVECURSO;ASIG_ITACA", {std::to_string(100000 + (kRows - 1) % 4000),
                                                      std::to_string((kRows - 1) % 60), last})) {
      state.SkipWithError("last row not found");
    }
  }
}
BENCHMARK(BM_LocateLastFirstTime)->Unit(benchmark::kMillisecond);

// Later lookups answer from the index.
void BM_LocateLastAgain(benchmark::State& state) {
  Scratch scratch;
  FillLessons(scratch.file("ASIGT.DBF"), kRows);
  Table table = Table::Open(scratch.file("ASIGT.DBF"), OpenMode::Shared);
  const std::string last = "IT" + std::to_string(kRows - 1);
  table.Locate("ASIG_ITACA", last);
  for (auto _ : state) {
    if (!table.Locate("ASIG_ITACA", last)) state.SkipWithError("last row not found");
  }
}
BENCHMARK(BM_LocateLastAgain);

void BM_DeleteHalfAndPack(benchmark::State& state) {
  Scratch scratch;
  for (auto _ : state) {
    state.PauseTiming();
    FillLessons(scratch.file("ASIGT.DBF"), kRows);
    state.ResumeTiming();
    Table table = Table::Open(scratch.file("ASIGT.DBF"), OpenMode::Exclusive);
    bool drop = true;
    for (table.First(); !table.Eof();) {
      if (drop) {
        table.Delete();
      } else {
        table.Next();
      }
      drop = !drop;
    }
    table.Pack();
    table.Close();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_DeleteHalfAndPack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Writes a SOLUC.DBF that places every lesson and duty of ASIGT, as Clepsa would after computing
// a timetable: each row's HORAS sessions go to the slots of DIASHORAST in turn. A benchmark and
// demo helper, not part of the product.
// Usage: make_soluc WORKING_DIR
#include <cmath>
#include <cstdio>
#include <exception>
#include <utility>
#include <vector>

#include "base/error.h"
#include "store/database.h"

using namespace tc::store;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: make_soluc CARPETA\n");
    return 64;
  }
  try {
    Database db(argv[1]);
    std::vector<std::pair<std::int32_t, std::int32_t>> slots;  // (day, hour)
    {
      Table slot_table = db.Open("DIASHORAST", OpenMode::Shared);
      for (slot_table.First(); !slot_table.Eof(); slot_table.Next())
        slots.emplace_back(slot_table.GetInteger("DIA"), slot_table.GetInteger("HORA"));
      slot_table.Close();
    }
    if (slots.empty()) slots.emplace_back(1, 1);

    const Schema soluc_fields{{"ASIG", FieldType::Character, 10},
                              {"TAREA", FieldType::Character, 10},
                              {"DIA", FieldType::Integer, 0},
                              {"HORA", FieldType::Integer, 0},
                              {"MARCO", FieldType::Character, 1},
                              {"CODGRUPO", FieldType::Character, 10},
                              {"PROF", FieldType::Character, 10},
                              {"AULA", FieldType::Character, 10}};
    Table soluc = Table::Create(db.TablePath("SOLUC"), soluc_fields);
    Table lessons = db.Open("ASIGT", OpenMode::Shared);
    std::size_t next_slot = 0, placed = 0;
    for (lessons.First(); !lessons.Eof(); lessons.Next()) {
      int sessions = static_cast<int>(std::lround(lessons.GetFloat("HORAS")));
      for (int s = 0; s < sessions; ++s) {
        const auto& [day, hour] = slots[next_slot++ % slots.size()];
        soluc.Append();
        soluc.SetText("ASIG", lessons.GetText("CASIG"));
        soluc.SetText("TAREA", lessons.GetText("CTAREA"));
        soluc.SetInteger("DIA", day);
        soluc.SetInteger("HORA", hour);
        soluc.SetText("MARCO", "0");
        soluc.SetText("CODGRUPO", lessons.GetText("CGRUP"));
        soluc.SetText("PROF", lessons.GetText("CPROF"));
        soluc.SetText("AULA", lessons.GetText("CAULA"));
        soluc.Post();
        ++placed;
      }
    }
    lessons.Close();
    soluc.Close();
    std::printf("%zu\n", placed);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

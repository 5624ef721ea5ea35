// Writes a SOLUC.DBF with a timetable for every lesson and duty of ASIGT, as Clepsa would after
// computing one. A benchmark and demo helper, not part of the product.
//
// Usage: make_soluc WORKING_DIR [inturn|timetabled]
//   inturn      every row's HORAS sessions go to the slots of DIASHORAST in turn, whoever is
//               there already: a timetable full of teachers and rooms in two places at once.
//   timetabled  as a timetabler places them: each session in the first slot, from the one after
//               the last session placed, in which its group, teacher and room are all free; failing
//               that, one where the teacher and the room are free (the group split in two); what
//               fits nowhere is left unplaced (day and hour 0), as Clepsa leaves it. Duties need
//               only their teacher free.
// Prints the records written and, for timetabled, how many went in each way.
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/error.h"
#include "store/database.h"

using namespace tc::store;

namespace {

// Who is taken in which slot: one bit per slot for every code.
class Taken {
 public:
  explicit Taken(std::size_t slots) : slots_(slots) {}
  bool Free(const std::string& code, std::size_t slot) { return code.empty() || !Of(code)[slot]; }
  void Take(const std::string& code, std::size_t slot) {
    if (!code.empty()) Of(code)[slot] = true;
  }

 private:
  std::vector<bool>& Of(const std::string& code) {
    auto [at, added] = taken_.try_emplace(code);
    if (added) at->second.assign(slots_, false);
    return at->second;
  }
  std::size_t slots_;
  std::unordered_map<std::string, std::vector<bool>> taken_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc == 3 ? argv[2] : "inturn";
  if (argc < 2 || argc > 3 || (mode != "inturn" && mode != "timetabled")) {
    std::fprintf(stderr, "uso: make_soluc CARPETA [inturn|timetabled]\n");
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

    const Schema soluc_fields{
        {"ASIG", FieldType::Character, 10}, {"TAREA", FieldType::Character, 10},
        {"DIA", FieldType::Integer, 0},     {"HORA", FieldType::Integer, 0},
        {"MARCO", FieldType::Character, 1}, {"CODGRUPO", FieldType::Character, 10},
        {"PROF", FieldType::Character, 10}, {"AULA", FieldType::Character, 10}};
    Table soluc = Table::Create(db.TablePath("SOLUC"), soluc_fields);
    Table lessons = db.Open("ASIGT", OpenMode::Shared);
    Taken groups(slots.size()), teachers(slots.size()), rooms(slots.size());
    std::size_t next_slot = 0, placed = 0, free = 0, split = 0, unplaced = 0;
    for (lessons.First(); !lessons.Eof(); lessons.Next()) {
      const int sessions = static_cast<int>(std::lround(lessons.GetFloat("HORAS")));
      const bool duty = lessons.GetText("CTAREA") != "*479";
      const std::string group = duty ? std::string() : lessons.GetText("CGRUP");
      const std::string teacher = lessons.GetText("CPROF");
      const std::string room = duty ? std::string() : lessons.GetText("CAULA");
      for (int s = 0; s < sessions; ++s) {
        std::int32_t day = 0, hour = 0;
        if (mode == "inturn") {
          std::tie(day, hour) = slots[next_slot++ % slots.size()];
        } else {
          auto find = [&](bool group_free) -> std::optional<std::size_t> {
            for (std::size_t i = 0; i < slots.size(); ++i) {
              const std::size_t at = (next_slot + i) % slots.size();
              if (teachers.Free(teacher, at) && rooms.Free(room, at) &&
                  (!group_free || groups.Free(group, at))) {
                return at;
              }
            }
            return std::nullopt;
          };
          std::optional<std::size_t> at = find(true);
          if (at) {
            ++free;
          } else if ((at = find(false))) {
            ++split;
          } else {
            ++unplaced;
          }
          if (at) {
            teachers.Take(teacher, *at);
            rooms.Take(room, *at);
            groups.Take(group, *at);
            std::tie(day, hour) = slots[*at];
            next_slot = *at + 1;
          }
        }
        soluc.Append();
        soluc.SetText("ASIG", lessons.GetText("CASIG"));
        soluc.SetText("TAREA", lessons.GetText("CTAREA"));
        soluc.SetInteger("DIA", day);
        soluc.SetInteger("HORA", hour);
        soluc.SetText("MARCO", "0");
        soluc.SetText("CODGRUPO", lessons.GetText("CGRUP"));
        soluc.SetText("PROF", teacher);
        soluc.SetText("AULA", lessons.GetText("CAULA"));
        soluc.Post();
        ++placed;
      }
    }
    lessons.Close();
    soluc.Close();
    std::printf("%zu\n", placed);
    if (mode == "timetabled") {
      std::fprintf(stderr, "libres %zu, grupo desdoblado %zu, sin colocar %zu\n", free, split,
                   unplaced);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

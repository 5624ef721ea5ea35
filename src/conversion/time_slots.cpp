// Day and hour slots: DIASHORAST gets one row for each day of the week and each period line of
// the chosen template, which is how Clepsa's day and hour numbers map to ITACA's periods.
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "conversion/stages.h"
#include "store/schemas.h"

namespace tc {

namespace {

constexpr const char* kCastilianDays[] = {"Lunes",   "Martes",  "Mi\xE9rcoles", "Jueves",
                                          "Viernes", "S\xE1" "bado", "Domingo"};
constexpr const char* kValencianDays[] = {"Dilluns",   "Dimarts",  "Dimecres", "Dijous",
                                          "Divendres", "Dissabte", "Diumenge"};

// A period line " 1 de 08:00 a 08:55" cut into its columns.
struct PeriodSlot {
  int order = 0;      // sesion_orden, columns 1-2
  std::string from;   // columns 7-11
  std::string to;     // columns 15-19
  int minutes = 0;    // end minus start
};

// Columns [first, first + count) of a line, counted from 1; as much as the line holds.
std::string Columns(std::string_view line, std::size_t first, std::size_t count) {
  if (first > line.size()) return {};
  return std::string(line.substr(first - 1, count));
}

// A whole number with blanks allowed in front, as the columns of a period line hold it.
bool ParseWholeNumber(std::string_view text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int number = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');  // at most two digits: no overflow
  }
  value = negative ? -number : number;
  return true;
}

PeriodSlot ParsePeriodLine(std::string_view line, std::size_t hour, const ConversionState& state) {
  struct Piece {
    const char* what;
    std::size_t first;
  };
  // In the order they are converted; each piece is two columns wide.
  static constexpr Piece kPieces[] = {{"la hora de inicio", 7},
                                      {"los minutos de inicio", 10},
                                      {"la hora de fin", 15},
                                      {"los minutos de fin", 18},
                                      {"el orden de la sesi\xF3n", 1}};
  auto refuse = [&](const std::string& problem) {
    throw RunError("L\xEDnea de horas no v\xE1lida en la plantilla \"" +
                       state.SelectedTemplateCode + "\" (hora " + std::to_string(hour) + "): \"" +
                       std::string(line) + "\": " + problem +
                       "; se esperaba la forma \"NN de HH:MM a HH:MM\".",
                   ErrorKind::InvalidData, state.SelectedTemplateCode);
  };
  // An order of three or more digits moves every column after it: say so, rather than blame
  // the first time that no longer sits in its columns.
  if (const std::size_t de = line.find(" de "); de != std::string_view::npos && de > 2) {
    refuse("el orden de la sesi\xF3n (\"" + std::string(line.substr(0, de)) +
           "\") tiene m\xE1s de dos cifras");
  }
  int numbers[5] = {};
  for (int i = 0; i < 5; ++i) {
    const std::string text = Columns(line, kPieces[i].first, 2);
    if (!ParseWholeNumber(text, numbers[i])) {
      refuse(std::string(kPieces[i].what) + " (\"" + text + "\") no es un n\xFAmero entero");
    }
  }
  PeriodSlot slot;
  slot.from = Columns(line, 7, 5);
  slot.to = Columns(line, 15, 5);
  slot.minutes = (numbers[2] * 60 + numbers[3]) - (numbers[0] * 60 + numbers[1]);
  slot.order = numbers[4];
  return slot;
}

}  // namespace

void ImportTimeSlots(store::StagedTables& tables, const ConversionState& state) {
  // Every line is checked before the table is replaced, so a line that is not well formed ends
  // the run with the old table intact.
  std::vector<PeriodSlot> slots;
  slots.reserve(state.ListBoxPlanti.size());
  for (const auto& line : state.ListBoxPlanti) {
    slots.push_back(ParsePeriodLine(line, slots.size() + 1, state));
  }

  const auto& days = state.LanguageChoice == kCastilian ? kCastilianDays : kValencianDays;
  auto table = tables.Create(store::DiashorastTable());
  // Hour by hour, all seven days each, whatever days the template itself uses.
  for (std::size_t h = 1; h <= slots.size(); ++h) {
    const PeriodSlot& slot = slots[h - 1];
    for (int d = 1; d <= 7; ++d) {
      table.Append();
      table.SetText("DIHO", std::to_string(d) + std::to_string(h));
      table.SetText("DIA", std::to_string(d));
      table.SetText("TEXTODIA", days[d - 1]);
      table.SetText("HORA", std::to_string(h));
      table.SetText("TEXTOHOR", std::to_string(slot.order) + "-" + slot.from + "-" + slot.to);
      table.SetText("HORADESDE", slot.from);
      table.SetText("HORAHASTA", slot.to);
      table.SetText("MINUTOS", std::to_string(slot.minutes));
      table.SetText("MARCO", "0");
      table.SetText("MARCOXML", state.SelectedTemplateCode);
      table.SetInteger("SESION_ORDEN", slot.order);
      table.Post();
    }
  }
  table.Close();
}

void ImportTimeSlots(ConversionContext& ctx) { ImportTimeSlots(ctx.tables, ctx.state); }

}  // namespace tc

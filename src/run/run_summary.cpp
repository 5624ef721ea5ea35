#include "run/run_summary.h"

#include <algorithm>

#include "platform/platform.h"
#include "report/render.h"

namespace tc {

namespace {

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

}  // namespace

std::string RunSummary(const ConversionResult& result, const std::filesystem::path& folder) {
  std::string out;
  if (!result.chosen_template) {
    out += "Plantilla horaria: ninguna (el documento no tiene plantillas)\n";
  } else {
    const ChosenTemplate& chosen = *result.chosen_template;
    out += "Plantilla horaria: " + chosen.code + " (" + chosen.description + "), turno " +
           chosen.shift + ", " + Plural(chosen.periods, "periodo", "periodos") + "\n";
  }
  out += "Idioma: " + result.language + "\n";
  out += "Tablas escritas en " + platform::PathText(folder) + ":\n";
  for (const TableRows& table : result.tables) {
    std::string name = table.table;
    name.resize(std::max<std::size_t>(name.size(), 12), ' ');
    out += "  " + name + Plural(table.rows, "fila", "filas") + "\n";
  }
  return out + report::RenderSummary(result.report);
}

std::string RunSummary(const ExportResult& result) {
  std::string out = "Documento escrito: " + platform::PathText(result.output) + "\n";
  out += "  plantilla horaria: " +
         (result.template_code.empty() ? std::string("ninguna") : result.template_code) + "\n";
  out += "  curso:             " + result.school_year + "\n";
  out += "  horario_grupo:     " + std::to_string(result.group_lessons) + "\n";
  out += "  horario_ocupacion: " + std::to_string(result.duty_periods) + "\n";
  return out + report::RenderSummary(result.report);
}

}  // namespace tc

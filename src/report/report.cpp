#include "report/report.h"

#include <limits>
#include <stdexcept>

namespace tc::report {

namespace {

struct ReasonInfo {
  std::string_view name;
  std::string_view text;
  Effect effect;
  Level level;
};

// In the order of the enumeration.
constexpr ReasonInfo kReasons[kReasonCount] = {
    {"codigo_numerado", "C\xF3" "digo ya usado: se le a\xF1" "ade un n\xFA" "mero",
     Effect::Renamed, Level::Information},
    {"codigo_acortado", "C\xF3" "digo demasiado largo para su campo: se acorta",
     Effect::Renamed, Level::Information},
    {"codigo_con_letra",
     "C\xF3" "digo de ocupaci\xF3n ya usado: su \xFAltima cifra se cambia por una letra",
     Effect::Renamed, Level::Information},
    {"aula_sin_codigo", "Aula sin c\xF3" "digo: se nombra por el principio de su nombre",
     Effect::Renamed, Level::Information},
    {"lista_de_un_elemento", "Colecci\xF3n de un solo elemento: no se lee, como si estuviera vac\xED" "a",
     Effect::Skipped, Level::Itaca},
    {"curso_omitido",
     "Curso sin padre cuya abreviatura no empieza por una cifra: no se escribe en CURSOST",
     Effect::Skipped, Level::Itaca},
    {"asignatura_sin_fila",
     "Asignatura cuyo c\xF3" "digo corto ya est\xE1 usado: no tiene fila propia en ASIGNOMT",
     Effect::Skipped, Level::Information},
    {"ocupacion_sin_fila",
     "Ocupaci\xF3n cuyo nombre ya est\xE1 usado: no tiene fila propia en ASIGNOMT",
     Effect::Skipped, Level::Information},
    {"contenido_sin_asignatura", "Contenido sin asignatura en ASIGNOMT: no da filas en ASIGT",
     Effect::Skipped, Level::Itaca},
    {"contenido_sin_grupos", "Contenido cuyo curso no tiene grupos: no da filas en ASIGT",
     Effect::Skipped, Level::Information},
    {"otra_plantilla", "De otra plantilla horaria: no se cuenta",
     Effect::Skipped, Level::Information},
    {"sesion_sin_asignacion",
     "Sesi\xF3n sin fila en ASIGT para su grupo, curso y contenido: no se cuenta",
     Effect::Skipped, Level::Itaca},
    {"sesion_sin_grupo",
     "Sesi\xF3n de otro profesor cuyo grupo no est\xE1 en GRUPOST: no se cuenta",
     Effect::Skipped, Level::Itaca},
    {"docente_no_encontrado", "Docente que no est\xE1 en PROFT: se cuenta sin profesor",
     Effect::Incomplete, Level::Itaca},
    {"aula_no_encontrada", "Aula que no est\xE1 en AULAT: se cuenta sin aula",
     Effect::Incomplete, Level::Itaca},
    {"ocupacion_no_encontrada",
     "Ocupaci\xF3n que no est\xE1 en ASIGNOMT: se cuenta sin c\xF3" "digo",
     Effect::Incomplete, Level::Itaca},
    {"asignacion_sin_sesiones",
     "Fila de ASIGT a la que no lleg\xF3 ninguna sesi\xF3n de la plantilla: se borra",
     Effect::Deleted, Level::Information},
    {"grupo_sin_clases", "Grupo sin clases en la plantilla: se quita de GRUPOST",
     Effect::Deleted, Level::Information},
    {"profesor_sin_clases", "Profesor sin clases en la plantilla: se quita de PROFT",
     Effect::Deleted, Level::Information},
    {"sin_colocar", "Registro de SOLUC sin colocar (d\xED" "a u hora 0): no se escribe",
     Effect::Skipped, Level::Clepsa},
    {"grupo_desconocido", "Grupo que no est\xE1 en GRUPOST: la clase no se escribe",
     Effect::Skipped, Level::Clepsa},
    {"asignatura_desconocida", "Asignatura que no est\xE1 en ASIGNOMT: la clase no se escribe",
     Effect::Skipped, Level::Clepsa},
    {"ocupacion_desconocida", "Ocupaci\xF3n que no est\xE1 en ASIGNOMT: no se escribe",
     Effect::Skipped, Level::Clepsa},
    {"profesor_de_ocupacion_desconocido",
     "Profesor que no est\xE1 en PROFT: la ocupaci\xF3n no se escribe",
     Effect::Skipped, Level::Clepsa},
    {"tramo_desconocido",
     "Hora y marco sin tramo en DIASHORAST: no se escribe", Effect::Skipped, Level::Clepsa},
    {"profesor_desconocido",
     "Profesor que no est\xE1 en PROFT: la clase se escribe sin docente",
     Effect::Incomplete, Level::Clepsa},
    {"aula_desconocida", "Aula que no est\xE1 en AULAT: la clase se escribe sin aula",
     Effect::Incomplete, Level::Clepsa},
};

const ReasonInfo& Info(Reason reason) { return kReasons[static_cast<std::size_t>(reason)]; }

std::uint32_t Narrow(std::size_t value) {
  return value > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(value);
}

}  // namespace

std::string_view ReasonName(Reason reason) { return Info(reason).name; }
std::string_view ReasonText(Reason reason) { return Info(reason).text; }
Effect ReasonEffect(Reason reason) { return Info(reason).effect; }
Level ReasonLevel(Reason reason) { return Info(reason).level; }

std::string_view LevelName(Level level) {
  switch (level) {
    case Level::Itaca:
      return "revise_en_itaca";
    case Level::Clepsa:
      return "revise_en_clepsa";
    case Level::Information:
      break;
  }
  return "para_su_informacion";
}

std::string_view LevelTitle(Level level) {
  switch (level) {
    case Level::Itaca:
      return "Revise en ITACA";
    case Level::Clepsa:
      return "Revise en Clepsa";
    case Level::Information:
      break;
  }
  return "Para su informaci\xF3n";
}

void Report::Name(NameKind kind, std::string_view code, std::string_view name) {
  if (code.empty() || name.empty()) return;
  names_by_code_[static_cast<std::size_t>(kind)].try_emplace(std::string(code), name);
}

std::string_view Report::NameOf(NameKind kind, std::string_view code) const {
  const auto& names = names_by_code_[static_cast<std::size_t>(kind)];
  const auto found = names.find(code);
  return found == names.end() ? std::string_view() : std::string_view(found->second);
}

std::string_view EffectName(Effect effect) {
  switch (effect) {
    case Effect::Renamed:
      return "renombrado";
    case Effect::Skipped:
      return "omitido";
    case Effect::Incomplete:
      return "incompleto";
    case Effect::Deleted:
      return "borrado";
  }
  return "omitido";
}

std::string_view EffectText(Effect effect) {
  switch (effect) {
    case Effect::Renamed:
      return "renombrados";
    case Effect::Skipped:
      return "omitidos";
    case Effect::Incomplete:
      return "incompletos";
    case Effect::Deleted:
      return "borrados";
  }
  return "omitidos";
}

Location Location::OfElement(std::string_view collection, std::size_t position, int line) {
  return Location{Kind::Element, collection, Narrow(position),
                  line > 0 ? static_cast<std::uint32_t>(line) : 0u};
}

Location Location::OfRecord(std::string_view table, int record) {
  return Location{Kind::Record, table, record > 0 ? static_cast<std::uint32_t>(record) : 0u, 0};
}

std::string_view Entry::OldCode() const {
  if (!renamed_) return {};
  const Report::StoredCode& code = report_->codes_[first_];
  return std::string_view(report_->bytes_).substr(code.offset, code.length);
}

std::string_view Entry::NewCode() const {
  if (!renamed_) return {};
  const Report::StoredCode& code = report_->codes_[first_ + 1];
  return std::string_view(report_->bytes_).substr(code.offset, code.length);
}

std::uint8_t Report::Intern(std::vector<std::string>& list, std::string_view text) {
  // Few distinct texts (collections, tables, code names), met again and again: the last one
  // first, then the others.
  for (std::size_t i = list.size(); i-- > 0;) {
    if (list[i] == text) return static_cast<std::uint8_t>(i);
  }
  if (list.size() > std::numeric_limits<std::uint8_t>::max()) {
    throw std::length_error("report: too many distinct names");
  }
  list.emplace_back(text);
  return static_cast<std::uint8_t>(list.size() - 1);
}

void Report::Push(std::string_view name, std::string_view value) {
  // Entry after entry of a kind, the codes come in the same order.
  const std::uint8_t index = next_name_ < names_.size() && names_[next_name_] == name
                                 ? static_cast<std::uint8_t>(next_name_)
                                 : Intern(names_, name);
  next_name_ = std::size_t{index} + 1;
  codes_.push_back(StoredCode{index, Narrow(bytes_.size()), Narrow(value.size())});
  bytes_.append(value);
  ++entries_.back().code_count;
}

Report::Builder Report::Add(Reason reason, const Location& where) {
  entries_.push_back(StoredEntry{reason, where.kind,
                                 where.kind == Location::Kind::None ? std::uint8_t{0}
                                                                    : Intern(sources_, where.source),
                                 false, where.position, where.line, Narrow(codes_.size()), 0});
  ++counts_[static_cast<std::size_t>(reason)];
  return Builder(*this);
}

Report::Builder Report::Renamed(Reason reason, const Location& where, std::string_view old_code,
                                std::string_view new_code) {
  Builder builder = Add(reason, where);
  entries_.back().renamed = true;
  Push({}, old_code);
  Push({}, new_code);
  return builder;
}

Report::Builder& Report::Builder::Code(std::string_view name, std::string_view value) {
  report_.Push(name, value);
  return *this;
}

std::size_t Report::Count(Effect effect) const {
  std::size_t total = 0;
  for (std::size_t i = 0; i < kReasonCount; ++i) {
    if (kReasons[i].effect == effect) total += counts_[i];
  }
  return total;
}

std::vector<Reason> Report::Reasons() const {
  std::vector<Reason> reasons;
  for (std::size_t i = 0; i < kReasonCount; ++i) {
    if (counts_[i] > 0) reasons.push_back(static_cast<Reason>(i));
  }
  return reasons;
}

std::vector<std::size_t> Report::Grouped() const {
  // A counting sort by reason keeps each group in recording order.
  std::array<std::size_t, kReasonCount> start{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < kReasonCount; ++i) {
    start[i] = at;
    at += counts_[i];
  }
  std::vector<std::size_t> order(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    order[start[static_cast<std::size_t>(entries_[i].reason)]++] = i;
  }
  return order;
}

}  // namespace tc::report

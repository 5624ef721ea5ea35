#include "run/guards.h"

#include "run/interaction.h"

namespace tc {

std::string GuardQuestion(const Guard& guard) {
  return guard.what + "\r\n\r\n\xBFQuiere continuar de todos modos?";  // ¿
}

std::string_view GuardName(GuardKind kind) {
  switch (kind) {
    case GuardKind::EmptyResult:
      return "resultado_vacio";
    case GuardKind::ExportWithoutTemplate:
      return "sin_plantilla";
    case GuardKind::ExportOtherTemplate:
      return "plantilla_distinta";
    case GuardKind::ExportOtherSchool:
      return "otro_centro";
    case GuardKind::SolutionOutdated:
      return "solucion_anterior";
  }
  return {};
}

bool DefaultAnswer(Question question) {
  return question != Question::ImportAllTemplates;
}

}  // namespace tc

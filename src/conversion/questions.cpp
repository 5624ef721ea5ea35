// The texts of the conversion's two questions, exactly as the confirmation boxes show them.
#include <string>

#include "conversion/conversion.h"

namespace tc {

namespace {

// Nine lines joined by CR LF.
std::string AllTemplatesText() {
  const std::string rule(88, '-');
  const std::string lines[] = {
      std::string(7, ' ') +
          "!!! I M P O R T A N T E !!!  \xBFImportar Datos de todas las Plantillas?",
      std::string(7, ' ') + std::string(39, '=') + std::string(4, ' '),
      "Se han encontrado Datos que pueden pertenecer a varias Plantillas Horarias.",
      "RECOMENDAMOS IMPORTAR SOLAMENTE LOS DATOS PERTENECIENTES A UNA SOLA PLANTILLA.",
      "Si quiere Importar los Datos de todas las Plantillas Pulse el Bot\xF3n \"S\xED\".",
      "Para Importar solo los Datos de la Plantilla seleccionada,Pulse el Bot\xF3n \"No\".",
      rule,
      "(RECOMENDAMOS Pulsar \"No\", y trabajar solo con datos de una Plantilla.)",
      rule,
  };
  std::string text;
  for (const auto& line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

// Four lines joined by CR LF.
std::string IdleGroupsText() {
  return std::string(23, ' ') + "!!! I M P O R T A N T E !!!" + std::string(25, ' ') +
         "\r\nExisten Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla."
         "\r\nTanto, QUITAR como DEJAR estos Grupos y Profesores, No afectar\xE1 al Horario."
         "\r\n\xBFQuieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?.";
}

}  // namespace

std::string QuestionText(Question question) {
  switch (question) {
    case Question::ImportAllTemplates:
      return AllTemplatesText();
    case Question::RemoveIdleGroupsAndTeachers:
      return IdleGroupsText();
  }
  return {};
}

}  // namespace tc

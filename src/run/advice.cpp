#include "run/advice.h"

#include <filesystem>
#include <new>

#include "base/codepage.h"
#include "store/schemas.h"

namespace tc {

std::string WhatToDo(const Error& error) {
  switch (error.kind()) {
    case ErrorKind::InputMissing:
      return "Compruebe que el archivo o la carpeta existen y que el nombre es correcto.";
    case ErrorKind::DocumentUnreadable:
      return "Abra el documento XML tal como lo export\xF3 ITACA, o vuelva a exportarlo desde "
             "ITACA.";
    case ErrorKind::DocumentMalformed:
      return "El archivo no es un documento de ITACA v\xE1lido: vuelva a exportarlo desde ITACA "
             "y no lo modifique a mano.";
    case ErrorKind::AttributeMissing:
      return "Al documento le faltan datos que ITACA siempre escribe: vuelva a exportarlo desde "
             "ITACA.";
    case ErrorKind::TableMissing:
      return "Haga antes la transformaci\xF3n desde ITACA hacia Clepsa en esta carpeta de "
             "trabajo.";
    case ErrorKind::TableDamaged:
      if (error.where() == store::kSolucTable) {
        return "Vuelva a calcular el horario en Clepsa para que escriba de nuevo la tabla SOLUC.";
      }
      return "Vuelva a hacer la transformaci\xF3n desde ITACA hacia Clepsa para rehacer las "
             "tablas.";
    case ErrorKind::InUse:
      return "Cierre Clepsa (y cualquier otro programa que tenga abiertas las tablas de la "
             "carpeta de trabajo) y vuelva a intentarlo.";
    case ErrorKind::RunInProgress:
      return "Espere a que termine la otra ejecuci\xF3n de TransClepsaItaca y vuelva a "
             "intentarlo.";
    case ErrorKind::DiskOrPermission:
      return "Compruebe que queda espacio en el disco y que tiene permiso para escribir en la "
             "carpeta (y que el archivo no es de solo lectura).";
    case ErrorKind::InvalidData:
      return "Corrija en ITACA el dato que se indica y vuelva a exportar el documento.";
    case ErrorKind::Usage:
      return "Consulte \xABtransclepsa --help\xBB.";
    case ErrorKind::Internal:
      break;
  }
  return {};
}

Error AsError(const std::exception& exception) {
  if (const auto* error = dynamic_cast<const Error*>(&exception)) return *error;
  if (dynamic_cast<const std::bad_alloc*>(&exception) != nullptr) {
    return Error("No queda memoria libre para terminar el trabajo.", ErrorKind::Internal);
  }
  if (const auto* failure = dynamic_cast<const std::filesystem::filesystem_error*>(&exception)) {
    const std::u8string path = failure->path1().u8string();
    const std::string where = Utf8ToCp1252(std::string(path.begin(), path.end()));
    return Error("No se puede acceder a " + where + " (detalle t\xE9" "cnico: " +
                     Utf8ToCp1252(failure->what()) + ").",
                 ErrorKind::DiskOrPermission, where);
  }
  return Error("Error inesperado del programa (detalle t\xE9" "cnico: " +
                   Utf8ToCp1252(exception.what()) + ").",
               ErrorKind::Internal);
}

}  // namespace tc

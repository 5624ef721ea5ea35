#include "base/error.h"

namespace tc {

std::string_view ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::InputMissing:
      return "falta_entrada";
    case ErrorKind::DocumentUnreadable:
      return "documento_ilegible";
    case ErrorKind::DocumentMalformed:
      return "documento_mal_formado";
    case ErrorKind::AttributeMissing:
      return "falta_atributo";
    case ErrorKind::TableMissing:
      return "falta_tabla";
    case ErrorKind::TableDamaged:
      return "tabla_danada";
    case ErrorKind::InUse:
      return "en_uso";
    case ErrorKind::RunInProgress:
      return "otra_ejecucion";
    case ErrorKind::DiskOrPermission:
      return "disco_o_permiso";
    case ErrorKind::InvalidData:
      return "dato_no_valido";
    case ErrorKind::Usage:
      return "uso";
    case ErrorKind::Internal:
      return "interno";
  }
  return "interno";
}

}  // namespace tc

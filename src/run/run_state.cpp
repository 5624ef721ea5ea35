#include "run/run_state.h"

namespace tc {

std::string_view NoticeText(Notice notice) {
  switch (notice) {
    case Notice::OpenItacaFile:
      return "Deber\xE1 Abrir el fichero XML de ITACA,\r\n"
             "desde el cual realiz\xF3 la Importaci\xF3n a Clepsa";  // Deberá, realizó, Importación
    case Notice::NoFile:
      return "No existe archivo";
    case Notice::NoFileOrSolution:
      return "No existe archivo XML o Soluci\xF3n.";  // Solución
    case Notice::Finished:
      return "Proceso finalizado";
    case Notice::NothingChanged:
      return "No se ha cambiado nada";
  }
  return {};
}

}  // namespace tc

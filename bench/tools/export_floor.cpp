// The floor of an export: reading SOLUC's eight fields once per row with the engine and writing a
// document with one twelve-attribute element per row with pugixml, nothing else.
// Usage: export_floor WORKING_DIR OUTPUT.xml  -> prints seconds
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include <pugixml.hpp>

#include "store/database.h"
#include "platform/platform.h"

using namespace tc::store;

int main(int argc, char** argv) {
  // With the program's own memory settings, so that the figures compare like with like.
  tc::platform::UseHugeMemoryPages(argv);
  if (argc != 3) {
    std::fprintf(stderr, "uso: export_floor CARPETA SALIDA.xml\n");
    return 64;
  }
  try {
    auto start = std::chrono::steady_clock::now();
    Database db(argv[1]);
    Table soluc = db.Open("SOLUC", OpenMode::Shared);
    pugi::xml_document doc;
    pugi::xml_node container = doc.append_child("centro").append_child("horarios_grupo");
    static const char* const kFields[] = {"ASIG", "TAREA", "DIA", "HORA",
                                          "MARCO", "CODGRUPO", "PROF", "AULA"};
    static const char* const kAttributes[] = {"plantilla", "dia_semana", "sesion_orden",
                                              "hora_desde", "hora_hasta", "grupo",
                                              "ensenanza", "curso", "contenido",
                                              "docente", "aula", "idioma"};
    for (soluc.First(); !soluc.Eof(); soluc.Next()) {
      std::string values[8];
      for (int i = 0; i < 8; ++i) values[i] = soluc.GetText(kFields[i]);
      pugi::xml_node element = container.append_child("horario_grupo");
      for (int i = 0; i < 12; ++i)
        element.append_attribute(kAttributes[i]).set_value(values[i % 8].c_str());
    }
    soluc.Close();
    doc.save_file(argv[2]);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f\n", seconds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

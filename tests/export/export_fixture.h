// An export's surroundings: an ITACA file, the working tables a conversion leaves, Clepsa's SOLUC
// (level 7 through the engine, or other dBase flavours byte by byte) and a scripted user.
#pragma once

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <chrono>
#include <cstring>
#include <map>

#include "export/solution_export.h"
#include "run/export_run.h"
#include "store/database.h"
#include "support/faulty_files.h"
#include "support/scripted_interaction.h"
#include "support/test_support.h"

namespace tc::test {

namespace fs = std::filesystem;
using Elements = std::vector<std::vector<std::string>>;

inline constexpr std::string_view kSchoolXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<centro codigo=" 46000001 " denominacion="  IES Prueba  " curso=" 2023 " version=" 1.5 ">
  <plantillas_horario><plantilla_horario codigo="T1" descripcion_val="Matí" turno="M"/>
    <plantilla_horario codigo="T2" descripcion_val="Vesprada" turno="T"/></plantillas_horario>
  <sesiones_horario>
    <sesion_horario plantilla="T1" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
    <sesion_horario plantilla="T1" dia_semana="L" sesion_orden="2" hora_desde="08:55" hora_hasta="09:50"/>
    <sesion_horario plantilla="T1" dia_semana="L" sesion_orden="4" hora_desde="10:15" hora_hasta="11:10"/>
    <sesion_horario plantilla="T2" dia_semana="L" sesion_orden="1" hora_desde="15:00" hora_hasta="15:55"/>
  </sesiones_horario>
  <horarios_grupo><horario_grupo grupo="VIEJO"/><horario_grupo grupo="VIEJO"/></horarios_grupo>
</centro>
)";

struct SolucRow {
  std::string asig, tarea;
  int dia;
  double hora;
  std::string marco, grupo, prof, aula;
};

// dBase III (version 0x03) or Visual FoxPro (0x30) bytes: 32-byte header and field descriptors
// (name, type letter at 11, offset at 12, width at 16, decimals at 17), the header terminator,
// VFP's 263-byte backlink, the records (each a flag and its values) and the end-of-file mark.
struct RawField {
  std::string name;
  char type;
  int width, decimals = 0;
};
inline constexpr unsigned char kDbase3 = 0x03, kVisualFoxPro = 0x30;
inline constexpr char kHeaderTerminator = 0x0D, kEndOfFile = 0x1A;
inline constexpr std::size_t kFoxBacklink = 263;
inline std::string Le(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
  return out;
}
inline std::string RawDbf(unsigned char version, const std::vector<RawField>& fields,
                          const std::vector<std::string>& records) {
  std::uint32_t length = 1, header = 32 + 32 * fields.size() + 1;
  if (version == kVisualFoxPro) header += kFoxBacklink;
  std::string descriptors;
  for (const auto& f : fields) {
    std::string d(32, '\0');
    std::memcpy(d.data(), f.name.data(), f.name.size());
    d[11] = f.type;
    std::memcpy(d.data() + 12, Le(length, 4).data(), 4);
    d[16] = static_cast<char>(f.width);
    d[17] = static_cast<char>(f.decimals);
    descriptors += d;
    length += f.width;
  }
  std::string out = std::string(1, version) + "\x7C\x01\x02" + Le(records.size(), 4) +
                    Le(header, 2) + Le(length, 2) + std::string(17, '\0') +
                    (version == kVisualFoxPro ? '\x03' : '\x57') +  // language: code page 1252
                    std::string(2, '\0') + descriptors + kHeaderTerminator;
  if (version == kVisualFoxPro) out += std::string(kFoxBacklink, '\0');
  for (const auto& r : records) out += r;
  return out + kEndOfFile;
}
inline std::string Pad(std::string text, std::size_t width) { return text.resize(width, ' '), text; }

class ExportTest : public ::testing::Test {
 protected:
  static std::chrono::system_clock::time_point When() {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
  }

  void SetUp() override {
    fs::create_directories(ztemp);
    fs::create_directories(itaca.parent_path());
    WriteFile(itaca, kSchoolXml);
    ui.file = itaca;
    ui.template_code = "T1";
    store::Database db(ztemp);
    Fill(db, store::GrupostTable(),
         {{{"ABREV", "1A"}, {"CLAVE", "G1A"}, {"CLAVECURSO", "C1"}, {"ENSENANZA", "ESO"}}});
    Fill(db, store::AsignomtTable(), {{{"COD", "MAT"}, {"ABREV_ITACA", "MAT-IT"}},
                                      {{"COD", "GUA"}, {"ABREV_ITACA", "GUARDIA1"}}});
    Fill(db, store::ProftTable(), {{{"ABREV", "PGA"}, {"DNI", "12345678Z"}, {"ENSENANZA", "E1"}},
                                   {{"ABREV", "PGA"}, {"DNI", "SEGUNDO"}}});
    Fill(db, store::AulatTable(), {{{"ABREV", "A1"}, {"ABREV_ITACA", "AULA-1"}}});
    Fill(db, store::CursostTable(), {});
    Fill(db, store::AsigtTable(), {});
    Fill(db, store::DiashorastTable(), {{{"HORA", "1"}, {"MARCO", "0"}, {"MARCOXML", "VIEJA"}}});
  }

  static void Fill(store::Database& db, const store::TableDef& def,
                   const std::vector<std::map<std::string, std::string>>& rows) {
    store::Table table = db.Recreate(def);
    for (const auto& row : rows) {
      table.Append();
      for (const auto& [field, value] : row) table.SetText(field, value);
      table.Post();
    }
    table.Close();
  }

  // SOLUC at level 7, written by the engine: DIA an integer, HORA a floating-point number.
  void Soluc(const std::vector<SolucRow>& rows) {
    using store::FieldType;
    auto soluc = store::Table::Create(
        ztemp / "SOLUC.DBF", {{"ASIG", FieldType::Character, 10}, {"TAREA", FieldType::Character, 10},
                              {"DIA", FieldType::Integer}, {"HORA", FieldType::Float},
                              {"MARCO", FieldType::Character, 2}, {"CODGRUPO", FieldType::Character, 10},
                              {"PROF", FieldType::Character, 10}, {"AULA", FieldType::Character, 10}});
    for (const auto& r : rows) {
      soluc.Append();
      for (auto [f, v] : {std::pair{"ASIG", r.asig}, {"TAREA", r.tarea}, {"MARCO", r.marco},
                          {"CODGRUPO", r.grupo}, {"PROF", r.prof}, {"AULA", r.aula}})
        soluc.SetText(f, v);
      soluc.SetInteger("DIA", r.dia);
      soluc.SetFloat("HORA", r.hora);
      soluc.Post();
    }
    soluc.Close();
  }

  ExportResult Run() { return RunExport(state, ui, Workplace(ztemp, files), When()); }

  // The output's elements under a container (or the root's own attributes for ""), each as its
  // attributes in order, "name=value".
  Elements Written(const char* container) const {
    pugi::xml_document doc;
    EXPECT_TRUE(doc.load_file(output.c_str()));
    auto attrs = [](pugi::xml_node e) {
      std::vector<std::string> out;
      for (auto a : e.attributes()) out.push_back(std::string(a.name()) + "=" + a.value());
      return out;
    };
    pugi::xml_node root = doc.child("centro");
    if (!*container) return {attrs(root)};
    Elements out;
    for (auto e : root.child(container).children()) out.push_back(attrs(e));
    return out;
  }

  TempDir dir;
  FaultyFileSystem files;  // the run's; a test makes it fail where it chooses
  fs::path ztemp = dir / "ZTEMP", itaca = dir / "datos" / "prueba.xml";
  fs::path output = dir / "datos" / "ResultadoClepsaprueba.xml";
  RunState state;
  ScriptedInteraction ui;
};

// A horario_grupo of template T1 for group 1A and subject MAT.
inline std::vector<std::string> Lesson(std::string day, std::string order, std::string from,
                                       std::string to, std::string teacher, std::string room) {
  return {"plantilla=T1", "dia_semana=" + day, "sesion_orden=" + order, "hora_desde=" + from,
          "hora_hasta=" + to, "grupo=G1A", "ensenanza=ESO", "curso=C1", "contenido=MAT-IT",
          "docente=" + teacher, "aula=" + room, "idioma="};
}

}  // namespace tc::test

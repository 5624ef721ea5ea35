#include "store/schemas.h"

namespace tc::store {

namespace {

FieldDef Char(const char* name, int width) { return {name, FieldType::Character, width}; }
FieldDef Logical(const char* name) { return {name, FieldType::Logical, 0}; }
FieldDef Integer(const char* name) { return {name, FieldType::Integer, 0}; }
FieldDef Float(const char* name) { return {name, FieldType::Float, 0}; }

}  // namespace

const TableDef& AsignomtTable() {
  static const TableDef table{"ASIGNOMT",
                              {Char("COD", 10), Char("CODLARGO", 10), Char("NOMBRE", 80),
                               Char("MATERIA", 8), Char("CODTAREA", 12), Logical("ESTAREA"),
                               Char("DENIVEL", 5), Char("DECURSO", 3), Char("ABREV_ITACA", 20)}};
  return table;
}

const TableDef& ProftTable() {
  static const TableDef table{"PROFT",
                              {Char("ABREV", 10), Char("NOMBRE", 80), Char("DEPART", 40),
                               Char("EMAIL", 100), Char("DNI", 14), Char("X_EMPLEADO", 10),
                               Char("F_TOMAPOS", 10), Char("ENSENANZA", 5)}};
  return table;
}

const TableDef& AulatTable() {
  static const TableDef table{"AULAT",
                              {Char("ABREV", 10), Char("NOMBRE", 80), Char("EDIFICIO", 1),
                               Integer("MAXALUM"), Char("DEPCENTRO", 10),
                               Char("ABREV_ITACA", 20)}};
  return table;
}

const TableDef& CursostTable() {
  static const TableDef table{"CURSOST",
                              {Char("ABREV", 3), Char("TURNO", 1), Char("NIVEL", 5),
                               Char("CURSO", 3), Char("CLAVE", 10), Char("ESTUD", 40)}};
  return table;
}

const TableDef& GrupostTable() {
  static const TableDef table{"GRUPOST",
                              {Char("ABREV", 10), Char("TURNO", 1), Char("NIVEL", 5),
                               Char("CURSO", 3), Char("GRUPO", 2), Char("DESCRIP", 80),
                               Char("MARCO", 1), Char("CLAVE", 10), Char("CLAVECURSO", 10),
                               Char("ENSENANZA", 10), Char("TUTOR", 10)}};
  return table;
}

const TableDef& AsigtTable() {
  static const TableDef table{"ASIGT",
                              {Char("CASIG", 10), Char("CPROF", 10), Char("CGRUP", 10),
                               Char("CAULA", 10), Char("TURNO", 1), Char("NIVEL", 5),
                               Char("CURSO", 3), Char("GRUPO", 2), Float("HORAS"),
                               Char("SESIONES", 20), Char("NCONEX", 4), Char("CLAVE", 10),
                               Char("CLAVECURSO", 10), Char("CTAREA", 10),
                               Char("ASIG_ITACA", 20)}};
  return table;
}

const TableDef& DiashorastTable() {
  static const TableDef table{"DIASHORAST",
                              {Char("DIHO", 10), Char("CODDIHO", 10), Char("DIA", 20),
                               Char("TEXTODIA", 20), Char("HORA", 8), Char("TEXTOHOR", 15),
                               Char("HORADESDE", 8), Char("HORAHASTA", 8), Char("MINUTOS", 8),
                               Char("MARCO", 1), Char("MARCOXML", 10), Integer("SESION_ORDEN")}};
  return table;
}

const std::vector<const TableDef*>& WorkingTables() {
  static const std::vector<const TableDef*> tables{
      &ProftTable(), &CursostTable(), &GrupostTable(), &AsignomtTable(),
      &AulatTable(), &AsigtTable(),   &DiashorastTable()};
  return tables;
}

}  // namespace tc::store

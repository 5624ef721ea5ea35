// The fields of ASIGT, the lessons to timetable, found once for the walks that read or write them
// on every one of its tens of thousands of rows (the conversion's stages, the export's report).
#pragma once

#include "store/table.h"

namespace tc::store {

struct AsigtFields {
  explicit AsigtFields(const Table& asig)
      : subject(asig.FieldOf("CASIG")),
        teacher(asig.FieldOf("CPROF")),
        group(asig.FieldOf("CGRUP")),
        room(asig.FieldOf("CAULA")),
        shift(asig.FieldOf("TURNO")),
        level(asig.FieldOf("NIVEL")),
        year(asig.FieldOf("CURSO")),
        group_letter(asig.FieldOf("GRUPO")),
        hours(asig.FieldOf("HORAS")),
        sessions(asig.FieldOf("SESIONES")),
        key(asig.FieldOf("CLAVE")),
        course_key(asig.FieldOf("CLAVECURSO")),
        content(asig.FieldOf("ASIG_ITACA")),
        task(asig.FieldOf("CTAREA")) {}

  Table::Field subject;       // CASIG, Clepsa's subject (or duty) code
  Table::Field teacher;       // CPROF
  Table::Field group;         // CGRUP, Clepsa's group code
  Table::Field room;          // CAULA
  Table::Field shift;         // TURNO
  Table::Field level;         // NIVEL
  Table::Field year;          // CURSO
  Table::Field group_letter;  // GRUPO
  Table::Field hours;         // HORAS
  Table::Field sessions;      // SESIONES
  Table::Field key;           // CLAVE, ITACA's group code
  Table::Field course_key;    // CLAVECURSO
  Table::Field content;       // ASIG_ITACA, ITACA's content (or duty) code
  Table::Field task;          // CTAREA
};

}  // namespace tc::store

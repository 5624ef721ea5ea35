// The fields of ASIGT, the lessons to timetable, found once for the stages that read or write
// them on every one of its tens of thousands of rows.
#pragma once

#include "store/table.h"

namespace tc {

struct AsigtFields {
  explicit AsigtFields(const store::Table& asig)
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

  store::Table::Field subject;       // CASIG, Clepsa's subject (or duty) code
  store::Table::Field teacher;       // CPROF
  store::Table::Field group;         // CGRUP, Clepsa's group code
  store::Table::Field room;          // CAULA
  store::Table::Field shift;         // TURNO
  store::Table::Field level;         // NIVEL
  store::Table::Field year;          // CURSO
  store::Table::Field group_letter;  // GRUPO
  store::Table::Field hours;         // HORAS
  store::Table::Field sessions;      // SESIONES
  store::Table::Field key;           // CLAVE, ITACA's group code
  store::Table::Field course_key;    // CLAVECURSO
  store::Table::Field content;       // ASIG_ITACA, ITACA's content (or duty) code
  store::Table::Field task;          // CTAREA
};

}  // namespace tc

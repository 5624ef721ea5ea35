// PROFT from the teachers of a document.
#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::ConversionRun;
using test::W;

TEST(ImportTeachers, RowsWithInitialsMadeUniqueWithoutRegardToCase) {
  // Only type "D" needs fecha_ingreso; email2 is read only when email1 is empty.
  ConversionRun run(R"(<centro><docentes>
    <docente apellido1=" García " apellido2="Martínez" nombre="Juan" tipo_docente=" D "
      fecha_ingreso="01/09/2015 00:00" documento="111A" ensenanza="ESO12" email1="  "
      email2=" j@example.org "/>
    <docente apellido1="gómez" apellido2="mora" nombre="josé" tipo_docente="d"
      fecha_ingreso="02/09/2016" documento="222B" ensenanza="ESO123" email1="g@example.org"/>
    <docente apellido1="Gil" apellido2="Mas" nombre="Jordi" tipo_docente="DI" documento="333C"
      ensenanza="FP" email1="" email2=""/>
    <docente apellido1="García" apellido2="" nombre="Juan" tipo_docente="P" documento="444D"
      ensenanza="FP" email1="x@example.org"/>
  </docentes></centro>)");
  ImportTeachers(run.context());

  auto rows = run.Rows("PROFT");
  ASSERT_EQ(rows.size(), 4u);
  // clang-format off
  EXPECT_EQ(rows[0], (test::Row{{"ABREV", "GMJ"}, {"NOMBRE", W("García Martínez, Juan")},
                                {"DEPART", ""}, {"EMAIL", "j@example.org"}, {"DNI", "111A"},
                                {"X_EMPLEADO", ""}, {"F_TOMAPOS", "01/09/2015"},
                                {"ENSENANZA", "ESO12"}}));
  // clang-format on
  EXPECT_EQ(rows[1].at("ABREV"), "gmj1");  // "gmj" is taken by "GMJ"
  EXPECT_EQ(rows[1].at("F_TOMAPOS"), "");
  EXPECT_EQ(rows[1].at("ENSENANZA"), "ESO12");
  EXPECT_EQ(rows[2].at("ABREV"), "GMJ2");  // GMJ1 is taken as gmj1
  EXPECT_EQ(rows[2].at("F_TOMAPOS"), "");
  EXPECT_EQ(rows[2].at("EMAIL"), "");
  EXPECT_EQ(rows[3].at("ABREV"), "GJ");
  EXPECT_EQ(rows[3].at("NOMBRE"), W("García , Juan"));  // the blank before the comma stays
}

TEST(ImportTeachers, OneTeacherIsPassedOverAndAMissingAttributeStops) {
  const char* teacher = R"(<docente apellido1="A" apellido2="B" nombre="C" tipo_docente="D"
      documento="1" ensenanza="E" email1="a@example.org"/>)";
  ConversionRun one(std::string("<centro><docentes>") + teacher + "</docentes></centro>");
  ImportTeachers(one.context());
  EXPECT_TRUE(one.Rows("PROFT").empty());

  ConversionRun two(std::string("<centro><docentes>") + teacher + teacher + "</docentes></centro>");
  try {
    ImportTeachers(two.context());
    FAIL() << "a teacher of type D without fecha_ingreso must stop the stage";
  } catch (const DocumentError& error) {
    EXPECT_STREQ(error.what(),
                 "Falta el atributo \"fecha_ingreso\" en /centro/docentes/docente (elemento 1, "
                 "l\xEDnea 1) de prueba.xml");
  }
}

}  // namespace
}  // namespace tc

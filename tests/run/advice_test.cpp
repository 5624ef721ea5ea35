// What the front ends add to an error, and how any exception becomes one of ours.
#include "run/advice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <stdexcept>

namespace tc {
namespace {

TEST(Advice, EachKindSaysWhatToDoAndSolucGetsItsOwnWord) {
  EXPECT_EQ(WhatToDo(Error("x", ErrorKind::TableMissing, "GRUPOST")),
            "Haga antes la transformaci\xF3n desde ITACA hacia Clepsa en esta carpeta de trabajo.");
  EXPECT_EQ(WhatToDo(Error("x", ErrorKind::InUse, "PROFT")),
            "Cierre Clepsa (y cualquier otro programa que tenga abiertas las tablas de la carpeta "
            "de trabajo) y vuelva a intentarlo.");
  EXPECT_EQ(WhatToDo(Error("x", ErrorKind::TableDamaged, "SOLUC")),
            "Vuelva a calcular el horario en Clepsa para que escriba de nuevo la tabla SOLUC.");
  EXPECT_EQ(WhatToDo(Error("x", ErrorKind::TableDamaged, "PROFT")),
            "Vuelva a hacer la transformaci\xF3n desde ITACA hacia Clepsa para rehacer las "
            "tablas.");
  EXPECT_EQ(WhatToDo(Error("x", ErrorKind::Internal)), "");
  for (ErrorKind kind : {ErrorKind::InputMissing, ErrorKind::DocumentUnreadable,
                         ErrorKind::DocumentMalformed, ErrorKind::AttributeMissing,
                         ErrorKind::RunInProgress, ErrorKind::DiskOrPermission,
                         ErrorKind::InvalidData, ErrorKind::Usage}) {
    EXPECT_FALSE(WhatToDo(Error("x", kind)).empty()) << static_cast<int>(kind);
  }
}

TEST(Advice, AnyExceptionBecomesASpanishError) {
  const Error ours("La tabla PROFT est\xE1 en uso por otro programa.", ErrorKind::InUse, "PROFT");
  const Error same = AsError(ours);
  EXPECT_STREQ(same.what(), ours.what());
  EXPECT_EQ(same.kind(), ErrorKind::InUse);
  EXPECT_EQ(same.where(), "PROFT");

  EXPECT_STREQ(AsError(std::bad_alloc()).what(),
               "No queda memoria libre para terminar el trabajo.");
  const Error filesystem = AsError(std::filesystem::filesystem_error(
      "cannot open", std::filesystem::path("/datos/ZTEMP"),
      std::make_error_code(std::errc::permission_denied)));
  EXPECT_EQ(filesystem.kind(), ErrorKind::DiskOrPermission);
  EXPECT_EQ(filesystem.where(), "/datos/ZTEMP");
  EXPECT_EQ(std::string(filesystem.what()).rfind("No se puede acceder a /datos/ZTEMP (", 0), 0u);
  const Error other = AsError(std::out_of_range("vector::at"));
  EXPECT_STREQ(other.what(), "Error inesperado del programa (detalle t\xE9" "cnico: vector::at).");
  EXPECT_EQ(other.kind(), ErrorKind::Internal);
}

}  // namespace
}  // namespace tc

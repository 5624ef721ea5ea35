#include "support/conversion_run.h"

namespace tc::test {

ConversionRun::ConversionRun(std::string_view xml_utf8)
    : tables(store::Database(dir.path())),
      document(itaca::Document::Parse(xml_utf8, "prueba.xml")),
      ctx{document, state, tables, ui, {}, {}, {}} {}

std::vector<Row> ConversionRun::Rows(std::string_view table) const {
  return ReadRows(tables.File(table).value_or(tables.Folder().TablePath(table)));
}

}  // namespace tc::test

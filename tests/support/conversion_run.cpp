#include "support/conversion_run.h"

namespace tc::test {

ConversionRun::ConversionRun(std::string_view xml_utf8)
    : db(dir.path()),
      document(itaca::Document::Parse(xml_utf8, "prueba.xml")),
      ctx{document, state, db, ui, {}, {}, {}} {}

std::vector<Row> ConversionRun::Rows(std::string_view table) const {
  return ReadRows(db.TablePath(table));
}

}  // namespace tc::test

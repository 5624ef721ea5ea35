// Serialisation of a document in a given charset, with our own layout: one node per line,
// elements indented with tabs, lines ended with CR LF as the Windows programs that read these
// files expect.
#pragma once

#include <string>

#include "encoding.h"

namespace pugi {
class xml_document;
}

namespace tc::itaca::detail {

std::string WriteXml(const pugi::xml_document& document, Charset charset, bool byte_order_mark);

}  // namespace tc::itaca::detail

// The floor of a conversion: the time pugixml alone takes to parse the document.
// Usage: parse_floor FILE.xml  -> prints seconds
#include <chrono>
#include <cstdio>

#include <pugixml.hpp>

#include "platform/platform.h"

int main(int argc, char** argv) {
  // With the program's own memory settings, so that the figures compare like with like.
  tc::platform::UseHugeMemoryPages(argv);
  if (argc != 2) {
    std::fprintf(stderr, "uso: parse_floor FICHERO.xml\n");
    return 64;
  }
  auto start = std::chrono::steady_clock::now();
  pugi::xml_document doc;
  pugi::xml_parse_result result = doc.load_file(argv[1]);
  auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!result) {
    std::fprintf(stderr, "%s\n", result.description());
    return 1;
  }
  std::printf("%.6f\n", seconds);
  return 0;
}

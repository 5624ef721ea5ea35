# libFuzzer targets, built with TC_BUILD_FUZZ=ON and clang. Every target of the build is then
# instrumented for coverage and checked with AddressSanitizer and UndefinedBehaviorSanitizer, so
# configure a build folder for fuzzing alone (fuzz/README.md). Included before the sources so that
# the libraries get the same instrumentation.
include(CheckCXXSourceCompiles)

set(TC_FUZZ_SANITIZERS address,undefined)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,${TC_FUZZ_SANITIZERS}")
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
]] TC_HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang" OR NOT TC_HAVE_LIBFUZZER)
  message(WARNING "TC_BUILD_FUZZ needs clang with -fsanitize=fuzzer (CXX=clang++): "
                  "the fuzz targets are not built")
  return()
endif()

add_compile_options(-fsanitize=fuzzer-no-link,${TC_FUZZ_SANITIZERS}
                    -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_link_options(-fsanitize=${TC_FUZZ_SANITIZERS})

# fuzz_document: the document loader and writer.
add_executable(fuzz_document ${CMAKE_CURRENT_LIST_DIR}/document_fuzzer.cpp)
target_link_libraries(fuzz_document PRIVATE tc_itaca pugixml::pugixml)
target_include_directories(fuzz_document PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tests
                                                 ${CMAKE_CURRENT_LIST_DIR}/../src/itaca)
target_link_options(fuzz_document PRIVATE -fsanitize=fuzzer)

# fuzz_table: the table engine's reader (and a save of what it read).
add_executable(fuzz_table ${CMAKE_CURRENT_LIST_DIR}/table_fuzzer.cpp)
target_link_libraries(fuzz_table PRIVATE tc_store)
target_link_options(fuzz_table PRIVATE -fsanitize=fuzzer)

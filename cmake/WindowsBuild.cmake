# The Windows cross-build (see cmake/mingw-w64-x86_64.cmake): its dependencies without any
# download, statically linked programs, and its tests run under Wine.
#
# Included by the top-level CMakeLists.txt before it looks for its packages. The packages it
# provides are announced through CMAKE_FIND_PACKAGE_REDIRECTS_DIR, so that the project's own
# find_package calls stay the same for both targets:
#  - pugixml: the copy in third_party/pugixml (Debian 12's 1.13, as the Linux build uses);
#  - CLI11: the headers of Debian's libcli11-dev (header-only), copied into the build folder so
#    that no other header of the build machine is on the target's include path;
#  - GoogleTest: built from Debian's sources in /usr/src/googletest (libgtest-dev).

# One transclepsa.exe, one test program: no DLL beyond Windows' own (libstdc++, libgcc and
# winpthread linked in).
add_link_options(-static)

# GCC 12 warns falsely about std::string's own copies at -O3 (GCC bug 105329), which the Release
# build of the Windows programs uses.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

# Unicode everywhere in the Windows API: the core names files by wide-character paths.
add_compile_definitions(UNICODE _UNICODE)

function(tc_redirect_package name)
  string(TOLOWER ${name} file_name)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${file_name}-config.cmake
       "# ${name}: provided by cmake/WindowsBuild.cmake for the Windows build.\n")
endfunction()

# ---- pugixml ----------------------------------------------------------------------------------
add_library(pugixml STATIC ${PROJECT_SOURCE_DIR}/third_party/pugixml/pugixml.cpp)
target_include_directories(pugixml SYSTEM PUBLIC ${PROJECT_SOURCE_DIR}/third_party/pugixml)
add_library(pugixml::pugixml ALIAS pugixml)
tc_redirect_package(pugixml)

# ---- CLI11 ------------------------------------------------------------------------------------
find_path(TC_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          NO_DEFAULT_PATH)
if(NOT TC_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 headers not found in /usr/include/CLI: install libcli11-dev")
endif()
set(tc_cli11_copy ${CMAKE_BINARY_DIR}/third_party/cli11/include)
file(COPY ${TC_CLI11_INCLUDE_DIR}/CLI DESTINATION ${tc_cli11_copy})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${tc_cli11_copy}
                                              INTERFACE_INCLUDE_DIRECTORIES ${tc_cli11_copy})
tc_redirect_package(CLI11)

# ---- GoogleTest -------------------------------------------------------------------------------
if(TC_BUILD_TESTS)
  set(TC_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (libgtest-dev)")
  if(NOT EXISTS ${TC_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${TC_GOOGLETEST_SOURCE_DIR}: "
                        "install libgtest-dev")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)  # Windows' own threads and mutexes
  add_subdirectory(${TC_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/third_party/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
  tc_redirect_package(GTest)
endif()

# ---- Running the programs under Wine ---------------------------------------------------------
# tc-wine runs a Windows program of this build in the build's own Wine prefix (created on first
# use, once, however many tests start at the same time). It is the emulator CMake uses for the
# tests and for anything else that runs a target.
find_program(TC_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(TC_WINEBOOT NAMES wineboot PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(TC_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
set(TC_WINEPREFIX ${CMAKE_BINARY_DIR}/wine)
if(TC_WINE AND TC_WINESERVER)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/tc-wine.sh.in ${CMAKE_BINARY_DIR}/tc-wine @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/tc-wine)
else()
  message(STATUS "Wine not found: the Windows programs are built but not tested")
endif()

# A test program of this build: one Wine process runs all its cases; any failing case fails it.
# tc-wine runs it as a Spanish-speaking user's program (user locale es-ES: dates, times, system
# messages).
function(tc_add_wine_test target)
  if(NOT TC_WINE)
    return()
  endif()
  if(NOT TEST wine.prefix)
    add_test(NAME wine.prefix COMMAND ${CMAKE_BINARY_DIR}/tc-wine)
    set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  endif()
  add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900)
endfunction()

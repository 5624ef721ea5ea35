# TC_SANITIZE=ON: every target of the build, the tests and the programs they start included, is
# checked with AddressSanitizer (out-of-bounds reads and writes, use after free, leaks) and
# UndefinedBehaviorSanitizer. Any report ends the process with an error, so a test that meets one
# fails (-fno-sanitize-recover=all; without it UndefinedBehaviorSanitizer only prints and carries
# on). Use a build folder of its own: scripts/build-asan.sh.
if(TC_BUILD_FUZZ)
  message(FATAL_ERROR "TC_SANITIZE and TC_BUILD_FUZZ go in separate build folders "
                      "(the fuzz targets carry the same sanitizers already)")
endif()
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  message(FATAL_ERROR "TC_SANITIZE needs GCC or clang")
endif()
if(WIN32)
  message(FATAL_ERROR "TC_SANITIZE is for the Linux build")
endif()

# GCC leaves float-cast-overflow out of "undefined": a double too large for the integer it is
# converted to is exactly the kind of fault a damaged table can cause, so it is named.
set(TC_SANITIZERS address,undefined,float-cast-overflow)
add_compile_options(-fsanitize=${TC_SANITIZERS} -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=${TC_SANITIZERS})
# The standard library's own checks (an index past a string's or a vector's size even within its
# capacity, front() of an empty one, the value of an empty optional), which AddressSanitizer
# cannot see: they end the process too. They change no layout, so the libraries built without
# them (GoogleTest, Qt) link as usual.
add_compile_definitions(_GLIBCXX_ASSERTIONS)
# The instrumentation hides from GCC's flow analysis what it needs to prove a variable set, and it
# then warns about libstdc++'s own code (std::regex, std::function): the normal build keeps the
# warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-maybe-uninitialized)
endif()

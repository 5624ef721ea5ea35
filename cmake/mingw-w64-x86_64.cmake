# Toolchain for 64-bit Windows programs built on Debian with MinGW-w64 (packages
# g++-mingw-w64-x86-64-posix and mingw-w64-tools). The posix flavour of the compiler is the one
# whose libstdc++ has std::thread and std::mutex (on winpthread).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TC_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TC_MINGW_TRIPLET}-windres)

# Headers, libraries and packages of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

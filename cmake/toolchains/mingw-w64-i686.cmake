# 32-bit Windows with mingw-w64: built and linked; no 32-bit runner exists here.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 32-bit Windows with mingw-w64; the test programs run under 32-bit Wine, where the machine
# has it (package wine32:i386) and its kernel runs 32-bit programs.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMO_MINGW_TRIPLET i686-w64-mingw32)
set(LUMO_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 64-bit Windows with mingw-w64; the test programs run under 64-bit Wine.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMO_MINGW_TRIPLET x86_64-w64-mingw32)
# Wine's 64-bit loader itself: with 32-bit Wine installed, `wine` is the 32-bit one.
set(LUMO_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 64-bit Windows with mingw-w64; the test programs run under wine64.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMO_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

find_program(LUMO_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(LUMO_WINE64 NAMES wine64 wine)
if(LUMO_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMO_WINE64})
endif()

# 32-bit Windows with mingw-w64; the test programs run under 32-bit Wine, where the machine
# has it (package wine32:i386) and its kernel runs 32-bit programs.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMO_MINGW_TRIPLET i686-w64-mingw32)
set(LUMO_WINE_LOADER wine)
# Doubles in SSE2 registers, as on x86-64 and as Windows compilers build for x86: the x87
# unit's 80-bit intermediates would round dates and numbers differently from the 64-bit
# DLL. Functions realign the stack where they need it, for callers that keep it at 4 bytes.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

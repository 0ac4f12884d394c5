# Shared part of the mingw-w64 toolchains. The including file sets LUMO_MINGW_TRIPLET
# (x86_64-w64-mingw32 or i686-w64-mingw32), CMAKE_SYSTEM_PROCESSOR and LUMO_WINE_LOADER first.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers: the default win32-thread ones have no std::mutex.
set(CMAKE_C_COMPILER ${LUMO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${LUMO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${LUMO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
find_program(LUMO_WIDL widl REQUIRED)

# The C and C++ runtimes and winpthread linked in: the programs and modules need only
# Windows' own DLLs.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()

# The cross-built dependencies (GoogleTest, Crypto++): the prefix that
# scripts/build-windows-deps.sh prints.
set(LUMO_WINDOWS_DEPS "" CACHE PATH "Prefix of the cross-built GoogleTest and Crypto++")
# Kept through try_compile, which reads the toolchain file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LUMO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMO_MINGW_TRIPLET} "${LUMO_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The test programs run under Wine's loader of the target's width (LUMO_WINE_LOADER, set by
# the including file); /usr/lib/wine holds both on Debian.
find_program(LUMO_WINE NAMES ${LUMO_WINE_LOADER} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(LUMO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMO_WINE})
endif()

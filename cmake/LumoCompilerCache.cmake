# Compiles through ccache where it is installed, with its cache outside the tree. Paths are
# hashed relative to the source root, so that another clone of the same sources hits the
# same entries.
option(LUMO_CCACHE "Compile through ccache when it is installed" ON)
if(LUMO_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(LUMO_CCACHE_PROGRAM ccache)
    if(LUMO_CCACHE_PROGRAM)
        set(_lumo_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} CCACHE_NOHASHDIR=1
                           ${LUMO_CCACHE_PROGRAM})
        set(CMAKE_C_COMPILER_LAUNCHER ${_lumo_launcher})
        set(CMAKE_CXX_COMPILER_LAUNCHER ${_lumo_launcher})
    endif()
endif()

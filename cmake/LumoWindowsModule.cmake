# A Windows in-process server (COM module) from an existing MODULE or SHARED library target:
#
#   lumo_windows_module(<target> IDL <file.idl> RC <resource-list.rc> DEF <exports.def>
#                       [HEADERS <generated.h>...])
#
# widl makes the type library <idl name>.tlb from the IDL, windres compiles the resource list
# into the module (its `1 TYPELIB "<idl name>.tlb"` line finds the type library in the build
# folder, the other files it names beside the list), and the .def file names the exports.
# HEADERS are generated headers that the resources include: windres searches their folders,
# and a change to one compiles the resources again.
# The module is named <OUTPUT_NAME>.dll, without a "lib" prefix; its path is listed in
# windows-modules/<target>.path in the build folder.
include_guard(GLOBAL)

# widl's imports: the folder of Wine's oaidl.idl (libwine-dev) and of its 64-bit
# stdole2.tlb (wine), found through the package lists, else in their usual places.
function(_lumo_find_in_package variable package file)
    if(${variable})
        return()
    endif()
    find_program(LUMO_DPKG dpkg)
    set(found "")
    if(LUMO_DPKG)
        execute_process(COMMAND ${LUMO_DPKG} -L ${package} OUTPUT_VARIABLE listing
                        ERROR_QUIET RESULT_VARIABLE status)
        if(status EQUAL 0)
            string(REGEX MATCH "[^\n]*/${file}\n" found "${listing}\n")
            string(STRIP "${found}" found)
        endif()
    endif()
    if(found)
        get_filename_component(found "${found}" DIRECTORY)
        set(${variable} "${found}" CACHE PATH "Folder of ${file} for widl")
    else()
        get_filename_component(name "${file}" NAME)
        find_path(${variable} ${name} PATHS ${ARGN} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    endif()
    if(NOT ${variable})
        message(FATAL_ERROR "${file} not found: install ${package}, or set ${variable}")
    endif()
endfunction()

_lumo_find_in_package(LUMO_WIDL_IDL_DIR libwine-dev oaidl.idl /usr/include/wine/wine/windows)
_lumo_find_in_package(LUMO_WIDL_TLB_DIR libwine x86_64-windows/stdole2.tlb
                      /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows)
if(NOT LUMO_WIDL)
    find_program(LUMO_WIDL widl REQUIRED)
endif()

function(lumo_windows_module target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "IDL;RC;DEF" "HEADERS")
    if(NOT ARG_IDL OR NOT ARG_RC OR NOT ARG_DEF OR ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "lumo_windows_module(<target> IDL <idl> RC <rc> DEF <def> [HEADERS <h>...])")
    endif()
    foreach(file IDL RC DEF)
        get_filename_component(ARG_${file} "${ARG_${file}}" ABSOLUTE)
    endforeach()

    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(widl_target --win64)
    else()
        set(widl_target --win32)
    endif()
    get_filename_component(library_name "${ARG_IDL}" NAME_WE)
    set(generated "${CMAKE_CURRENT_BINARY_DIR}/${target}-windows")
    set(tlb "${generated}/${library_name}.tlb")
    add_custom_command(
        OUTPUT "${tlb}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${generated}"
        COMMAND ${LUMO_WIDL} ${widl_target} -t -o "${tlb}" -I "${LUMO_WIDL_IDL_DIR}"
                -L "${LUMO_WIDL_TLB_DIR}" "${ARG_IDL}"
        DEPENDS "${ARG_IDL}"
        COMMENT "Generating ${library_name}.tlb"
        VERBATIM)
    # The ids as C definitions (<idl name>_i.c), for the clients that take them from there.
    set(ids "${generated}/${library_name}_i.c")
    add_custom_command(
        OUTPUT "${ids}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${generated}"
        COMMAND ${LUMO_WIDL} ${widl_target} -u -o "${ids}" -I "${LUMO_WIDL_IDL_DIR}" "${ARG_IDL}"
        DEPENDS "${ARG_IDL}"
        COMMENT "Generating ${library_name}_i.c"
        VERBATIM)
    add_custom_target(${target}_ids ALL DEPENDS "${ids}")
    # For the install rules of the module's folder.
    set_target_properties(${target} PROPERTIES LUMO_TYPE_LIBRARY "${tlb}" LUMO_ID_DEFINITIONS "${ids}")

    # The files the resource list names ("<id> <type> "<file>"" or #include "<file>"), for the
    # dependencies.
    get_filename_component(rc_dir "${ARG_RC}" DIRECTORY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${ARG_RC}")
    file(STRINGS "${ARG_RC}" named
         REGEX "^[ \t]*([0-9A-Za-z_]+[ \t]+[0-9A-Za-z_]+|#[ \t]*include)[ \t]+\"[^\"]+\"")
    set(rc_depends "${ARG_RC}" "${tlb}")
    foreach(line IN LISTS named)
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*" "\\1" file "${line}")
        if(EXISTS "${rc_dir}/${file}")
            list(APPEND rc_depends "${rc_dir}/${file}")
        endif()
    endforeach()

    set(header_includes "")
    foreach(header IN LISTS ARG_HEADERS)
        get_filename_component(header_dir "${header}" DIRECTORY)
        list(APPEND header_includes -I "${header_dir}")
        list(APPEND rc_depends "${header}")
    endforeach()

    set(resources "${generated}/${library_name}.res.obj")
    add_custom_command(
        OUTPUT "${resources}"
        COMMAND ${CMAKE_RC_COMPILER} -I "${generated}" -I "${rc_dir}" ${header_includes}
                -O coff -i "${ARG_RC}" -o "${resources}"
        DEPENDS ${rc_depends}
        COMMENT "Compiling the resources of ${target}"
        VERBATIM)
    set_source_files_properties("${resources}" PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
    target_sources(${target} PRIVATE "${resources}")

    target_sources(${target} PRIVATE "${ARG_DEF}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        # The .def names the exports undecorated; their __stdcall symbols carry @n.
        target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup)
    endif()
    set_target_properties(${target} PROPERTIES PREFIX "" SUFFIX ".dll")
    # The modules built, one file each, for scripts/test-windows.sh to register.
    file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/windows-modules/${target}.path" CONTENT "$<TARGET_FILE:${target}>")
endfunction()

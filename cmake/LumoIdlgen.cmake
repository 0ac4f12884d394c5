# The interface generator (server/idlgen) and the rule for what it writes.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(LUMO_IDLGEN ${PROJECT_SOURCE_DIR}/server/idlgen/idlgen.py)
file(GLOB LUMO_IDLGEN_SCRIPTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/server/idlgen/*.py)

# Writes OUTPUT from the definition IDL. MODE is header (interfaces and ids), typedesc (the
# type description, with the resources of the script RESOURCES and the registration scripts
# beside it) or typelist (the listing that tests compare a loaded library with). A target has
# OUTPUT made by listing it among its sources; where several targets need it, they depend on
# one custom target instead, so that parallel builds write it once.
function(lumo_idlgen mode idl output)
    cmake_parse_arguments(PARSE_ARGV 3 arg "" "RESOURCES" "")
    set(arguments ${mode} ${idl} ${output})
    set(inputs ${idl} ${LUMO_IDLGEN_SCRIPTS})
    if(arg_RESOURCES)
        get_filename_component(resource_dir ${arg_RESOURCES} DIRECTORY)
        file(GLOB registration_scripts CONFIGURE_DEPENDS ${resource_dir}/*.rgs)
        list(APPEND arguments --resources ${arg_RESOURCES})
        list(APPEND inputs ${arg_RESOURCES} ${registration_scripts})
    endif()
    get_filename_component(name ${output} NAME)
    add_custom_command(
        OUTPUT ${output}
        COMMAND Python3::Interpreter -B ${LUMO_IDLGEN} ${arguments}
        DEPENDS ${inputs}
        COMMENT "Generating ${name}"
        VERBATIM)
endfunction()

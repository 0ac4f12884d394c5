# The interface generator (server/idlgen) and the rule for a type library listing.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(LUMO_IDLGEN ${PROJECT_SOURCE_DIR}/server/idlgen/idlgen.py)
file(GLOB LUMO_IDLGEN_SCRIPTS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/server/idlgen/*.py)

# Writes OUTPUT, the listing of the type library that IDL defines, for the tests that compare
# a loaded library with its definition; a target lists OUTPUT among its sources to have it made.
function(lumo_type_listing idl output)
    get_filename_component(name ${output} NAME)
    add_custom_command(
        OUTPUT ${output}
        COMMAND Python3::Interpreter -B ${LUMO_IDLGEN} typelist ${idl} ${output}
        DEPENDS ${idl} ${LUMO_IDLGEN_SCRIPTS}
        COMMENT "Generating ${name}"
        VERBATIM)
endfunction()

# Warnings on, and errors, for the project's own targets.
function(lumo_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter
                                                 -Wno-missing-field-initializers)
        # GCC 12 at -O3 reports std::string copies as overlapping (GCC bug 105329).
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
    endif()
endfunction()

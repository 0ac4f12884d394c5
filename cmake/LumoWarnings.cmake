# Warnings on, and errors, for the project's own targets.
function(lumo_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter
                                                 -Wno-missing-field-initializers)
    endif()
endfunction()

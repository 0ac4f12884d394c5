# Runs the lumoitems tool once and checks what it did:
#
#   cmake -DTOOL=path -DARGS=a|b|c -DSTATUS=n [-DINPUT=file] [-DOUTPUT=file] [-DERRORS=file]
#         [-DOUTPUT_MATCHES=regex] [-DERRORS_MATCHES=regex] -P RunTool.cmake
#
# OUTPUT and ERRORS name files with the whole expected standard output and standard error.
# The stack trace that ends an error text is left out of the comparison: its source lines
# move with the code. A stream without an option must stay empty.
string(REPLACE "|" ";" arguments "${ARGS}")
set(input)
if(DEFINED INPUT)
    set(input INPUT_FILE ${INPUT})
endif()
execute_process(COMMAND ${TOOL} ${arguments} ${input}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)

string(FIND "${errors}" "\nStack trace:\n" trace)
if(trace GREATER_EQUAL 0)
    string(SUBSTRING "${errors}" 0 ${trace} errors)
endif()

set(failures)
if(NOT status STREQUAL STATUS)
    string(APPEND failures "exit status ${status}, expected ${STATUS}\n")
endif()

function(check_stream name actual file regex)
    if(file)
        file(READ ${file} expected)
        if(NOT actual STREQUAL expected)
            set(failures "${failures}${name} differs.\n--- expected\n${expected}--- actual\n${actual}---\n"
                PARENT_SCOPE)
        endif()
    elseif(regex)
        if(NOT actual MATCHES "${regex}")
            set(failures "${failures}${name} does not match ${regex}\n--- actual\n${actual}---\n" PARENT_SCOPE)
        endif()
    elseif(NOT actual STREQUAL "")
        set(failures "${failures}${name} is not empty\n--- actual\n${actual}---\n" PARENT_SCOPE)
    endif()
endfunction()
check_stream("standard output" "${output}" "${OUTPUT}" "${OUTPUT_MATCHES}")
check_stream("standard error" "${errors}" "${ERRORS}" "${ERRORS_MATCHES}")

if(failures)
    message(FATAL_ERROR "lumoitems ${arguments}:\n${failures}")
endif()

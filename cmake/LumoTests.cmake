include(GoogleTest)

# The tests of a GoogleTest program for ctest. Under Wine a process costs seconds to start, so
# there each program runs once with all its tests (its log names the failing ones); elsewhere
# each test runs in a process of its own.
function(lumo_add_gtests target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TEST_PREFIX" "")
    if(WIN32)
        add_test(NAME ${arg_TEST_PREFIX}${target} COMMAND ${target} --gtest_brief=1)
        set_tests_properties(${arg_TEST_PREFIX}${target} PROPERTIES TIMEOUT 1800)
    else()
        gtest_discover_tests(${target} TEST_PREFIX "${arg_TEST_PREFIX}" DISCOVERY_TIMEOUT 60
                             PROPERTIES TIMEOUT 120)
    endif()
endfunction()

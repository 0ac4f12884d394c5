# LUMO_SANITIZE=address  : AddressSanitizer and UndefinedBehaviorSanitizer, errors fatal
# LUMO_SANITIZE=thread   : ThreadSanitizer
# LUMO_FUZZ=ON           : clang's fuzzer coverage with AddressSanitizer and UndefinedBehaviorSanitizer
set(LUMO_SANITIZE "" CACHE STRING "Sanitizer build: address or thread")
if(LUMO_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(LUMO_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NOT LUMO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "LUMO_SANITIZE must be address, thread or empty")
endif()

if(LUMO_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# The release packages of what `cmake --install` installs, named with the project's version:
# on Linux a Debian package, whose dependencies dpkg-shlibdeps reads from the binaries, and a
# .tar.gz; on Windows a zip per architecture. `cpack` in a build tree makes them.
set(CPACK_PACKAGE_NAME lumoitems)
set(CPACK_PACKAGE_VENDOR "${LUMO_PRODUCT_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Items, properties and collections as in-process components")
set(CPACK_PACKAGE_CONTACT "${LUMO_PRODUCT_NAME}")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(LUMO_PACKAGE_ARCHITECTURE win64)
    else()
        set(LUMO_PACKAGE_ARCHITECTURE win32)
    endif()
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "lumoitems-${PROJECT_VERSION}-${LUMO_PACKAGE_ARCHITECTURE}")
else()
    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE LUMO_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT LUMO_PACKAGE_ARCHITECTURE)
        set(LUMO_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
    endif()
    set(CPACK_PACKAGE_FILE_NAME "lumoitems-${PROJECT_VERSION}-linux-${LUMO_PACKAGE_ARCHITECTURE}")
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SECTION libs)
    # The module's own libraries lie beside it: dpkg-shlibdeps must not look for them elsewhere.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/platform)
    # The archive holds the prefix itself (bin/, lib/, ...), to unpack anywhere.
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/LumoPackageGenerator.cmake)
endif()
include(CPack)

# Read by cpack once per generator: the archive is the installed prefix, the Debian package
# installs into /usr.
if(CPACK_GENERATOR STREQUAL "TGZ")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/")
endif()

# Crypto++ as the imported target CryptoPP::CryptoPP, headers included as <cryptopp/...>.
# Linux: Debian's libcrypto++-dev. Windows: the static library cross-built by
# scripts/build-windows-deps.sh, found under LUMO_WINDOWS_DEPS (the toolchain's find root).
find_path(CryptoPP_INCLUDE_DIR cryptopp/base64.h)
find_library(CryptoPP_LIBRARY NAMES cryptopp crypto++)
mark_as_advanced(CryptoPP_INCLUDE_DIR CryptoPP_LIBRARY)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(CryptoPP REQUIRED_VARS CryptoPP_LIBRARY CryptoPP_INCLUDE_DIR)

if(CryptoPP_FOUND AND NOT TARGET CryptoPP::CryptoPP)
    add_library(CryptoPP::CryptoPP UNKNOWN IMPORTED)
    set_target_properties(CryptoPP::CryptoPP PROPERTIES
        IMPORTED_LOCATION "${CryptoPP_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${CryptoPP_INCLUDE_DIR}")
endif()

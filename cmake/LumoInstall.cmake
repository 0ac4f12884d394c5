# The package files with which client programs build against an installed prefix: the CMake
# package (LumoItems::LumoItems) and, on Linux, a pkg-config file. The module, the tools and
# the headers install from their own folders.
include(CMakePackageConfigHelpers)

set(LUMO_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/LumoItems)
# LumoItems::LumoItems: the interfaces and ids, and on Linux the platform they run on.
set_target_properties(lumo_interfaces PROPERTIES EXPORT_NAME LumoItems)
target_include_directories(lumo_interfaces INTERFACE $<INSTALL_INTERFACE:${LUMO_INSTALL_INCLUDEDIR}>)
install(TARGETS lumo_interfaces EXPORT LumoItemsTargets)
if(NOT WIN32)
    set_target_properties(lumo_platform PROPERTIES EXPORT_NAME platform)
    install(TARGETS lumo_platform EXPORT LumoItemsTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION ${LUMO_INSTALL_INCLUDEDIR}/platform)
endif()

install(EXPORT LumoItemsTargets NAMESPACE LumoItems:: DESTINATION ${LUMO_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/LumoItemsConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/LumoItemsConfig.cmake
                              INSTALL_DESTINATION ${LUMO_INSTALL_CMAKEDIR}
                              PATH_VARS LUMO_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/LumoItemsConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LumoItemsConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/LumoItemsConfigVersion.cmake
        DESTINATION ${LUMO_INSTALL_CMAKEDIR})

if(NOT WIN32)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/lumoitems.pc.in ${CMAKE_CURRENT_BINARY_DIR}/lumoitems.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lumoitems.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()

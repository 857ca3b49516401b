# The CMake package (find_package(Tamsel) -> Tamsel::Tamsel) and tamsel.pc,
# both relocatable: they locate the installed tree from their own place.
include(CMakePackageConfigHelpers)
set(TAMSEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tamsel)
install(EXPORT TamselTargets NAMESPACE Tamsel:: DESTINATION ${TAMSEL_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TamselConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/TamselConfig.cmake INSTALL_DESTINATION ${TAMSEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/TamselConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/TamselConfig.cmake ${PROJECT_BINARY_DIR}/package/TamselConfigVersion.cmake
  DESTINATION ${TAMSEL_CMAKE_DIR} COMPONENT Development)

file(RELATIVE_PATH TAMSEL_PREFIX_FROM_PCDIR ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TAMSEL_PREFIX_FROM_PCDIR "${TAMSEL_PREFIX_FROM_PCDIR}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tamsel.pc.in ${PROJECT_BINARY_DIR}/package/tamsel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/tamsel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# What a user reads: the README and docs/, with the coverage report's schema,
# in CMAKE_INSTALL_DOCDIR (share/doc/tamsel; a distribution's package names
# its own).
file(GLOB TAMSEL_DOCS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.json)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${TAMSEL_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR}
  COMPONENT Runtime)

# cmake --install: the libraries, the headers, fcl, a CMake package (find_package(fclib) gives
# fclib::fclib and fclib::fclib_static), a pkg-config file, the sample profile and the documents.
include(CMakePackageConfigHelpers)

set_target_properties(fclib PROPERTIES EXPORT_NAME fclib)
set_target_properties(fclib_static PROPERTIES EXPORT_NAME fclib_static)
install(TARGETS fclib fclib_static EXPORT fclibTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS fcl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES include/fclib.h include/fclib.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(FCLIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/fclib)
install(EXPORT fclibTargets NAMESPACE fclib:: DESTINATION ${FCLIB_CMAKE_DIR})
configure_package_config_file(cmake/fclibConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/fclibConfig.cmake
  INSTALL_DESTINATION ${FCLIB_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/fclibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/fclibConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/fclibConfigVersion.cmake
  DESTINATION ${FCLIB_CMAKE_DIR})

file(RELATIVE_PATH FCLIB_PC_UP /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(cmake/fclib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/fclib.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/fclib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The sample profile goes where the library looks by default (for the configured prefix).
install(FILES profile/ORBISRPT.INI DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/fclib)
install(FILES README.md docs/language.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

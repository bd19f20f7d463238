# cmake --install: the libraries, the headers, fcl, a CMake package (find_package(fclib) gives
# fclib::fclib and fclib::fclib_static), the pkg-config files fclib and fclib-static, the sample
# profile, and the README, changelog, licence and language reference.
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

# pkg-config, two modules from fclib.pc.in: fclib links libfclib.so (or, with --static and
# -static, a wholly static program: Libs.private); fclib-static links libfclib.a by its path,
# which the linker cannot swap for the shared library, and defines FCLIB_STATIC in Cflags, which
# every pkg-config reads (Cflags.private is not read by all). The archive needs the C++ runtime,
# libm and, on C libraries before glibc 2.34, libpthread (std::call_once, std::mutex).
file(RELATIVE_PATH FCLIB_PC_UP /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
set(FCLIB_PC_STATIC_DEPENDENCIES "-lstdc++ -lm -lpthread")
set(FCLIB_PC_NAME fclib)
set(FCLIB_PC_KIND "")
set(FCLIB_PC_LIBS "-L\${libdir} -lfclib")
set(FCLIB_PC_LIBS_PRIVATE "${FCLIB_PC_STATIC_DEPENDENCIES}")
set(FCLIB_PC_CFLAGS "")
configure_file(cmake/fclib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/fclib.pc @ONLY)
set(FCLIB_PC_NAME fclib-static)
set(FCLIB_PC_KIND ", the static library")
set(FCLIB_PC_LIBS "\${libdir}/libfclib.a ${FCLIB_PC_STATIC_DEPENDENCIES}")
set(FCLIB_PC_LIBS_PRIVATE "")
set(FCLIB_PC_CFLAGS " -DFCLIB_STATIC")
configure_file(cmake/fclib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/fclib-static.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/fclib.pc ${CMAKE_CURRENT_BINARY_DIR}/fclib-static.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The sample profile goes where the library looks by default (for the configured prefix).
install(FILES profile/ORBISRPT.INI DESTINATION ${CMAKE_INSTALL_SYSCONFDIR}/fclib)
install(FILES README.md CHANGELOG.md LICENSE docs/language.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

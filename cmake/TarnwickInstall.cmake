# What `cmake --install` puts in place: the executable, its manual page and a
# CMake package (imported target Tarnwick::Tarnwick plus the helper
# tarnwick_add_image_header) that other projects find with find_package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The same name inside this build, so that the helper works here as well.
add_executable(Tarnwick::Tarnwick ALIAS Tarnwick)
include(${CMAKE_CURRENT_LIST_DIR}/TarnwickImageHeader.cmake)

set(TARNWICK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarnwick)

install(TARGETS Tarnwick EXPORT TarnwickTargets RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/doc/Tarnwick.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(EXPORT TarnwickTargets NAMESPACE Tarnwick:: DESTINATION ${TARNWICK_PACKAGE_DIR})
# The package holds a program, not a library: a 32-bit project may use a
# 64-bit build of it, so the version file does not compare pointer sizes.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES
    ${CMAKE_CURRENT_LIST_DIR}/TarnwickConfig.cmake
    ${CMAKE_CURRENT_LIST_DIR}/TarnwickImageHeader.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/TarnwickConfigVersion.cmake
  DESTINATION ${TARNWICK_PACKAGE_DIR})

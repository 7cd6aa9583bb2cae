# libpng for the PNG loader, found with CMake's FindPNG (which finds zlib
# too). PNG support is an option, on by default when libpng is installed;
# without it the PNG loader refuses every PNG file, naming the reason.
#
# With TARNWICK_PNG_STATIC (the default) the static libpng and zlib are
# preferred when installed (Debian's libpng-dev and zlib1g-dev ship them), so
# that the program needs nothing at run time beyond the C and C++ runtime;
# otherwise the shared libraries are linked.
option(TARNWICK_PNG_STATIC "Link libpng and zlib statically when their static libraries are installed" ON)

if(TARNWICK_PNG_STATIC)
  set(ZLIB_USE_STATIC_LIBS ON)
  set(tarnwick_saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
  set(CMAKE_FIND_LIBRARY_SUFFIXES ${CMAKE_STATIC_LIBRARY_SUFFIX})
  find_package(PNG QUIET)
  set(CMAKE_FIND_LIBRARY_SUFFIXES ${tarnwick_saved_suffixes})
  unset(ZLIB_USE_STATIC_LIBS)
endif()
if(NOT PNG_FOUND)
  find_package(PNG QUIET)
endif()

option(TARNWICK_PNG "Read PNG files (needs libpng)" ${PNG_FOUND})
if(TARNWICK_PNG)
  if(NOT PNG_FOUND)
    message(FATAL_ERROR "TARNWICK_PNG is on but libpng was not found; install libpng-dev "
                        "or configure with -DTARNWICK_PNG=OFF")
  endif()
  message(STATUS "PNG input: libpng ${PNG_VERSION_STRING} (${PNG_LIBRARY}, ${ZLIB_LIBRARY})")
else()
  message(STATUS "PNG input: not built in (TARNWICK_PNG is off)")
endif()

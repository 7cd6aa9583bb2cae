# giflib for the GIF loader, found with CMake's FindGIF. GIF support is an
# option, on by default when giflib 5.1 or later is installed; without it the
# GIF loader refuses every GIF file, naming the reason.
#
# With TARNWICK_GIF_STATIC (the default) the static giflib is preferred when
# installed (Debian's libgif-dev ships libgif.a), so that the program needs
# nothing at run time beyond the C and C++ runtime; otherwise the shared
# library is linked.
option(TARNWICK_GIF_STATIC "Link giflib statically when its static library is installed" ON)

if(TARNWICK_GIF_STATIC)
  set(tarnwick_saved_suffixes ${CMAKE_FIND_LIBRARY_SUFFIXES})
  set(CMAKE_FIND_LIBRARY_SUFFIXES ${CMAKE_STATIC_LIBRARY_SUFFIX})
  find_package(GIF 5.1 QUIET)
  set(CMAKE_FIND_LIBRARY_SUFFIXES ${tarnwick_saved_suffixes})
endif()
if(NOT GIF_FOUND)
  find_package(GIF 5.1 QUIET)
endif()

option(TARNWICK_GIF "Read GIF files (needs giflib 5.1 or later)" ${GIF_FOUND})
if(TARNWICK_GIF)
  if(NOT GIF_FOUND)
    message(FATAL_ERROR "TARNWICK_GIF is on but giflib 5.1 or later was not found; install libgif-dev "
                        "or configure with -DTARNWICK_GIF=OFF")
  endif()
  message(STATUS "GIF input: giflib ${GIF_VERSION} (${GIF_LIBRARY})")
else()
  message(STATUS "GIF input: not built in (TARNWICK_GIF is off)")
endif()

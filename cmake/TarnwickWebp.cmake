# libwebp for the WebP loader: the decoder (libwebp) and the demultiplexer
# (libwebpdemux), which finds the first frame of an animated file. CMake has
# no module for libwebp and Debian's libwebp-dev installs no package file,
# so the header and the libraries are searched for by name. WebP support is
# an option, on by default when both libraries are installed; without it the
# WebP loader refuses every WebP file, naming the reason.
#
# With TARNWICK_WEBP_STATIC (the default) the static libraries are preferred
# when installed (Debian's libwebp-dev ships libwebp.a and libwebpdemux.a),
# so that the program needs nothing at run time beyond the C and C++
# runtime. A static libwebp also needs the math library and threads, and
# from libwebp 1.3 on libsharpyuv, which is linked when found.
option(TARNWICK_WEBP_STATIC "Link libwebp statically when its static libraries are installed" ON)

find_path(TARNWICK_WEBP_INCLUDE_DIR webp/decode.h)
function(tarnwick_find_webp_library variable)
  if(TARNWICK_WEBP_STATIC)
    set(CMAKE_FIND_LIBRARY_SUFFIXES ${CMAKE_STATIC_LIBRARY_SUFFIX})
    find_library(${variable} NAMES ${ARGN})
    unset(CMAKE_FIND_LIBRARY_SUFFIXES)
  endif()
  find_library(${variable} NAMES ${ARGN})
endfunction()
tarnwick_find_webp_library(TARNWICK_WEBP_LIBRARY webp libwebp)
tarnwick_find_webp_library(TARNWICK_WEBPDEMUX_LIBRARY webpdemux libwebpdemux)
tarnwick_find_webp_library(TARNWICK_SHARPYUV_LIBRARY sharpyuv libsharpyuv)
mark_as_advanced(TARNWICK_WEBP_INCLUDE_DIR TARNWICK_WEBP_LIBRARY TARNWICK_WEBPDEMUX_LIBRARY TARNWICK_SHARPYUV_LIBRARY)

set(tarnwick_webp_found OFF)
if(TARNWICK_WEBP_INCLUDE_DIR AND TARNWICK_WEBP_LIBRARY AND TARNWICK_WEBPDEMUX_LIBRARY)
  set(tarnwick_webp_found ON)
endif()

option(TARNWICK_WEBP "Read WebP files (needs libwebp and libwebpdemux)" ${tarnwick_webp_found})
if(TARNWICK_WEBP)
  if(NOT tarnwick_webp_found)
    message(FATAL_ERROR "TARNWICK_WEBP is on but libwebp and libwebpdemux were not found; install libwebp-dev "
                        "or configure with -DTARNWICK_WEBP=OFF")
  endif()
  # What the loader links, demultiplexer first: it calls the decoder.
  set(TARNWICK_WEBP_LIBRARIES ${TARNWICK_WEBPDEMUX_LIBRARY} ${TARNWICK_WEBP_LIBRARY})
  if(TARNWICK_SHARPYUV_LIBRARY)
    list(APPEND TARNWICK_WEBP_LIBRARIES ${TARNWICK_SHARPYUV_LIBRARY})
  endif()
  find_package(Threads REQUIRED)
  list(APPEND TARNWICK_WEBP_LIBRARIES Threads::Threads)
  if(UNIX)
    list(APPEND TARNWICK_WEBP_LIBRARIES m)
  endif()
  message(STATUS "WebP input: libwebp (${TARNWICK_WEBP_LIBRARY}, ${TARNWICK_WEBPDEMUX_LIBRARY})")
else()
  message(STATUS "WebP input: not built in (TARNWICK_WEBP is off)")
endif()

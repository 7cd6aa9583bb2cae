# tarnwick_add_image_header(<target> <image> [HEADER <path>] [RLE] [RLE_DECODER]
#                           [GRAY | RGB565 | RGB565_SWAPPED | MONO [DITHER]])
#
# Turns <image> (a PNG, JPEG, TGA or BMP file; relative paths start at the current
# source folder) into a C header at build time and makes <target> depend on
# it. The header is made again whenever the image or the Tarnwick executable
# changes.
#
#   HEADER <path>  where to write the header; relative paths start at the
#                  current binary folder. Default:
#                  <binary folder>/tarnwick/<target>/<name>.h
#   RLE            run-length packed array (--rle)
#   RLE_DECODER    append the source of p_DecompressRLEImage (--rle-decoder)
#   GRAY           one 8-bit gray value per pixel (--gray)
#   RGB565         one 16-bit RGB565 value per pixel (--rgb565)
#   RGB565_SWAPPED RGB565 with the two bytes exchanged (--rgb565-swapped)
#   MONO           1 bit per pixel, rows padded to whole bytes (--mono)
#   DITHER         with MONO: Floyd-Steinberg dithering (--dither)
#
# At most one of GRAY, RGB565, RGB565_SWAPPED and MONO, and DITHER only with
# MONO; anything else stops the configuration with an error.
#
# Tarnwick is run in the image's own folder and given the image's file name,
# so the names in the header depend on that file name only: <name> is the file
# name in lower case with every run of characters other than ASCII letters and
# digits replaced by one '_' (logo.jpg gives logo_jpg), the array is p_<name>
# and the constants are n_<name>_width and n_<name>_height.
#
# The header's folder goes on <target>'s include path. A 32-bit header declares
# its pixels as "unsigned __int32", a type word of Microsoft's compilers; for
# every other compiler the target gets the definition __int32=int.
#
# The executable is the imported target Tarnwick::Tarnwick of the installed
# package (inside Tarnwick's own build, an alias of the Tarnwick target).

function(tarnwick_add_image_header target image)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "RLE;RLE_DECODER;GRAY;RGB565;RGB565_SWAPPED;MONO;DITHER" "HEADER" "")
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tarnwick_add_image_header: unknown arguments: ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET "${target}")
    message(FATAL_ERROR "tarnwick_add_image_header: '${target}' is not a target")
  endif()
  if(NOT TARGET Tarnwick::Tarnwick)
    message(FATAL_ERROR "tarnwick_add_image_header: the target Tarnwick::Tarnwick is missing; call find_package(Tarnwick) first")
  endif()

  get_filename_component(image_path "${image}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(image_dir "${image_path}" DIRECTORY)
  get_filename_component(image_name "${image_path}" NAME)

  # The same naming rule as Tarnwick's own: ASCII only, runs collapsed, at most
  # 255 characters.
  string(TOLOWER "${image_name}" name)
  string(REGEX REPLACE "[^a-z0-9]+" "_" name "${name}")
  string(SUBSTRING "${name}" 0 255 name)

  if(ARG_HEADER)
    get_filename_component(header_path "${ARG_HEADER}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  else()
    set(header_path "${CMAKE_CURRENT_BINARY_DIR}/tarnwick/${target}/${name}.h")
  endif()
  get_filename_component(header_dir "${header_path}" DIRECTORY)

  # The include guard is made from the first 238 characters of the header
  # path; two headers whose paths agree that far would share one guard.
  string(LENGTH "${header_path}" header_path_length)
  if(header_path_length GREATER 238)
    message(WARNING "tarnwick_add_image_header: the header path '${header_path}' is longer than "
                    "238 characters, so its include guard is made from a part of it only; "
                    "pass a shorter HEADER path if another header shares that part")
  endif()

  set(switches)
  if(ARG_RLE)
    list(APPEND switches --rle)
  endif()
  if(ARG_RLE_DECODER)
    list(APPEND switches --rle-decoder)
  endif()
  # The format: at most one of the four, each with its switch.
  set(formats)
  foreach(format GRAY RGB565 RGB565_SWAPPED MONO)
    if(ARG_${format})
      list(APPEND formats ${format})
      string(TOLOWER "--${format}" switch)
      string(REPLACE "_" "-" switch "${switch}")
      list(APPEND switches ${switch})
    endif()
  endforeach()
  list(LENGTH formats format_count)
  if(format_count GREATER 1)
    message(FATAL_ERROR "tarnwick_add_image_header: give at most one of GRAY, RGB565, RGB565_SWAPPED and MONO "
                        "(got ${formats})")
  endif()
  if(ARG_DITHER)
    if(NOT ARG_MONO)
      message(FATAL_ERROR "tarnwick_add_image_header: DITHER works only with MONO")
    endif()
    list(APPEND switches --dither)
  endif()

  file(MAKE_DIRECTORY "${header_dir}")
  add_custom_command(
    OUTPUT "${header_path}"
    COMMAND Tarnwick::Tarnwick "${image_name}" "${header_path}" ${switches}
    WORKING_DIRECTORY "${image_dir}"
    DEPENDS "${image_path}" Tarnwick::Tarnwick
    COMMENT "Embedding image ${image_name} in ${header_path}"
    VERBATIM)

  target_sources("${target}" PRIVATE "${header_path}")
  target_include_directories("${target}" PRIVATE "${header_dir}")
  if(NOT MSVC)
    get_target_property(definitions "${target}" COMPILE_DEFINITIONS)
    if(NOT "__int32=int" IN_LIST definitions)
      target_compile_definitions("${target}" PRIVATE __int32=int)
    endif()
  endif()
endfunction()

# tarnwick_add_image_header(<target> <image> [HEADER <path>] [RLE] [RLE_DECODER]
#                           [GRAY | RGB565 | RGB565_SWAPPED | MONO [DITHER]]
#                           [DITHER_MODE floyd|atkinson|bayer] [THRESHOLD <n>]
#                           [CROP <WxH+X+Y>] [ROTATE 90|180|270] [FLIP h|v]
#                           [RESIZE <geometry> [FILTER lanczos|box|bilinear|nearest]]
#                           [BACKGROUND <RRGGBB>] [INVERT])
#
# Turns <image> (a PNG, JPEG or TGA file; relative paths start at the current
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
#   DITHER_MODE m  --dither=m: floyd (with MONO, RGB565 or RGB565_SWAPPED),
#                  atkinson or bayer (with MONO)
#   THRESHOLD n    with MONO: the 1-bit cut, 0 to 255 (--threshold=n)
#   CROP r         keep the rectangle WxH+X+Y (--crop=r)
#   ROTATE d       rotate clockwise by 90, 180 or 270 degrees (--rotate=d)
#   FLIP f         mirror left-right (h) or top-bottom (v) (--flip=f)
#   RESIZE g       resize: WxH, WxH!, Wx or xH (--resize=g)
#   FILTER f       with RESIZE: lanczos, box, bilinear or nearest (--filter=f)
#   BACKGROUND c   put every pixel over the colour RRGGBB (--background=c)
#   INVERT         every colour channel c becomes 255 - c (--invert)
#
# At most one of GRAY, RGB565, RGB565_SWAPPED and MONO; DITHER and THRESHOLD
# only with MONO; DITHER_MODE only with a format it changes, and not with
# DITHER; FILTER only with RESIZE; ROTATE, FLIP, FILTER and DITHER_MODE only
# with the words above. Anything else stops the configuration with an
# error; a malformed CROP, RESIZE, BACKGROUND or THRESHOLD value makes the
# build step fail with Tarnwick's message.
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
  cmake_parse_arguments(PARSE_ARGV 2 ARG "RLE;RLE_DECODER;GRAY;RGB565;RGB565_SWAPPED;MONO;DITHER;INVERT"
                        "HEADER;DITHER_MODE;THRESHOLD;CROP;ROTATE;FLIP;RESIZE;FILTER;BACKGROUND" "")
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
  # The words each worded value may be.
  set(words_ROTATE 90 180 270)
  set(words_FLIP h v)
  set(words_FILTER lanczos box bilinear nearest)
  set(words_DITHER_MODE floyd atkinson bayer)
  foreach(keyword ROTATE FLIP FILTER DITHER_MODE)
    if(DEFINED ARG_${keyword} AND NOT ARG_${keyword} IN_LIST words_${keyword})
      list(JOIN words_${keyword} ", " allowed)
      message(FATAL_ERROR "tarnwick_add_image_header: ${keyword} must be one of ${allowed} "
                          "(got '${ARG_${keyword}}')")
    endif()
  endforeach()
  if(DEFINED ARG_DITHER_MODE)
    if(ARG_DITHER)
      message(FATAL_ERROR "tarnwick_add_image_header: give DITHER or DITHER_MODE, not both")
    endif()
    if(NOT ARG_MONO AND NOT (ARG_DITHER_MODE STREQUAL "floyd" AND (ARG_RGB565 OR ARG_RGB565_SWAPPED)))
      message(FATAL_ERROR "tarnwick_add_image_header: DITHER_MODE ${ARG_DITHER_MODE} does not work with this "
                          "format (floyd: MONO, RGB565 or RGB565_SWAPPED; atkinson and bayer: MONO)")
    endif()
  endif()
  if(DEFINED ARG_THRESHOLD AND NOT ARG_MONO)
    message(FATAL_ERROR "tarnwick_add_image_header: THRESHOLD works only with MONO")
  endif()
  if(DEFINED ARG_FILTER AND NOT DEFINED ARG_RESIZE)
    message(FATAL_ERROR "tarnwick_add_image_header: FILTER works only with RESIZE")
  endif()
  # Each valued keyword becomes --name=value; the order does not matter to
  # Tarnwick, which always crops, rotates, flips, resizes, puts over the
  # background and inverts in that order.
  foreach(keyword DITHER_MODE THRESHOLD CROP ROTATE FLIP RESIZE FILTER BACKGROUND)
    if(DEFINED ARG_${keyword})
      if(keyword STREQUAL "DITHER_MODE")
        set(name dither)
      else()
        string(TOLOWER "${keyword}" name)
      endif()
      list(APPEND switches "--${name}=${ARG_${keyword}}")
    endif()
  endforeach()
  if(ARG_INVERT)
    list(APPEND switches --invert)
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

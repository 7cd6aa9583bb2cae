# tarnwick_add_image_header(<target> <image> [HEADER <path>] [RLE] [RLE_DECODER]
#                           [GRAY | RGB565 | RGB565_SWAPPED | MONO [DITHER] [MONO_LSB] [MONO_PAGES]
#                            | RGB888 | BGR888 | ALPHA8 | INDEXED]
#                           [DITHER_MODE floyd|atkinson|bayer] [THRESHOLD <n>]
#                           [CROP <WxH+X+Y>] [ROTATE 90|180|270] [FLIP h|v]
#                           [RESIZE <geometry> [FILTER lanczos|box|bilinear|nearest]]
#                           [BACKGROUND <RRGGBB>] [INVERT] [FRAME <n>]
#                           [STDINT] [STATIC] [ATTRIBUTE <text>] [NAME <name>] [LVGL])
#
# Turns <image> (a PNG, JPEG, TGA, BMP, GIF or WebP file; relative paths start at
# the current source folder) into a C header at build time and makes <target>
# depend on it. The header is made again whenever the image or the Tarnwick
# executable changes.
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
#   MONO_LSB       with MONO: the leftmost pixel in bit 0, XBM order
#                  (--mono-lsb)
#   MONO_PAGES     with MONO: SSD1306 pages of 8 rows (--mono-pages)
#   RGB888         three bytes a pixel, red, green, blue (--rgb888)
#   BGR888         three bytes a pixel, blue, green, red (--bgr888)
#   ALPHA8         one byte a pixel, its alpha (--alpha8)
#   INDEXED        a palette and packed indices, at most 256 colours
#                  (--indexed)
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
#   FRAME <n>      frame n of an animated GIF, 0 the first (--frame=<n>);
#                  other formats ignore it
#   STDINT         items typed uint32_t, uint16_t, uint8_t from <stdint.h>
#                  (--stdint)
#   STATIC         static definitions, for a header included from several
#                  files (--static)
#   ATTRIBUTE t    the text t after each array's [] (--attribute=t), such as
#                  PROGMEM
#   NAME n         the name in the header's identifiers (--name=n): p_n,
#                  n_n_width, ...; a C identifier. The default header is then
#                  <binary folder>/tarnwick/<target>/n.h
#   LVGL           an LVGL 9 image descriptor dsc_<name> (--lvgl)
#
# At most one of GRAY, RGB565, RGB565_SWAPPED, MONO, RGB888, BGR888, ALPHA8
# and INDEXED; DITHER, THRESHOLD, MONO_LSB and MONO_PAGES only with MONO; DITHER_MODE only with a format it changes, and not with
# DITHER; FILTER only with RESIZE; ROTATE, FLIP, FILTER and DITHER_MODE only
# with the words above; FRAME only with a whole number; LVGL not with RLE or
# RLE_DECODER (LVGL's descriptor takes the plain bytes), nor with RGB888,
# MONO_LSB or MONO_PAGES (LVGL has no format for them). Anything else stops
# the configuration with an error; a malformed CROP, RESIZE, BACKGROUND,
# THRESHOLD, NAME or ATTRIBUTE value makes the build step fail with
# Tarnwick's message.
#
# Tarnwick is run in the image's own folder and given the image's file name,
# so the names in the header depend on that file name only: <name> is the file
# name in lower case with every run of characters other than ASCII letters and
# digits replaced by one '_' (logo.jpg gives logo_jpg), the array is p_<name>
# and the constants are n_<name>_width and n_<name>_height.
#
# The header's folder goes on <target>'s include path. A 32-bit header declares
# its pixels as "unsigned __int32", a type word of Microsoft's compilers,
# unless STDINT or LVGL is given; for every other compiler the target then
# gets the definition __int32=int.
#
# The executable is the imported target Tarnwick::Tarnwick of the installed
# package (inside Tarnwick's own build, an alias of the Tarnwick target).

function(tarnwick_add_image_header target image)
  cmake_parse_arguments(PARSE_ARGV 2 ARG
                        "RLE;RLE_DECODER;GRAY;RGB565;RGB565_SWAPPED;MONO;RGB888;BGR888;ALPHA8;INDEXED;MONO_LSB;MONO_PAGES;DITHER;INVERT;STDINT;STATIC;LVGL"
                        "HEADER;DITHER_MODE;THRESHOLD;CROP;ROTATE;FLIP;RESIZE;FILTER;BACKGROUND;FRAME;ATTRIBUTE;NAME" "")
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
  if(DEFINED ARG_NAME)
    set(name "${ARG_NAME}")
  endif()

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
  foreach(format GRAY RGB565 RGB565_SWAPPED MONO RGB888 BGR888 ALPHA8 INDEXED)
    if(ARG_${format})
      list(APPEND formats ${format})
      string(TOLOWER "--${format}" switch)
      string(REPLACE "_" "-" switch "${switch}")
      list(APPEND switches ${switch})
    endif()
  endforeach()
  list(LENGTH formats format_count)
  if(format_count GREATER 1)
    message(FATAL_ERROR "tarnwick_add_image_header: give at most one of GRAY, RGB565, RGB565_SWAPPED, MONO, "
                        "RGB888, BGR888, ALPHA8 and INDEXED (got ${formats})")
  endif()
  foreach(layout MONO_LSB MONO_PAGES)
    if(ARG_${layout})
      if(NOT ARG_MONO)
        message(FATAL_ERROR "tarnwick_add_image_header: ${layout} works only with MONO")
      endif()
      if(ARG_LVGL)
        message(FATAL_ERROR "tarnwick_add_image_header: LVGL has no format for ${layout} (LVGL's I1 is MONO's rows)")
      endif()
      string(TOLOWER "--${layout}" switch)
      string(REPLACE "_" "-" switch "${switch}")
      list(APPEND switches ${switch})
    endif()
  endforeach()
  if(ARG_LVGL AND ARG_RGB888)
    message(FATAL_ERROR "tarnwick_add_image_header: LVGL has no format for RGB888 (LVGL's RGB888 is BGR888)")
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
  if(DEFINED ARG_FRAME OR "FRAME" IN_LIST ARG_KEYWORDS_MISSING_VALUES)
    if(NOT ARG_FRAME MATCHES "^[0-9]+$")
      message(FATAL_ERROR "tarnwick_add_image_header: FRAME takes a frame number, 0 the first (got '${ARG_FRAME}')")
    endif()
    list(APPEND switches --frame=${ARG_FRAME})
  endif()
  if(ARG_LVGL AND (ARG_RLE OR ARG_RLE_DECODER))
    message(FATAL_ERROR "tarnwick_add_image_header: LVGL does not go with RLE or RLE_DECODER "
                        "(the descriptor takes the plain bytes)")
  endif()
  foreach(keyword STDINT STATIC LVGL)
    if(ARG_${keyword})
      string(TOLOWER "--${keyword}" switch)
      list(APPEND switches ${switch})
    endif()
  endforeach()
  foreach(keyword ATTRIBUTE NAME)
    if(DEFINED ARG_${keyword})
      string(TOLOWER "${keyword}" switch)
      list(APPEND switches "--${switch}=${ARG_${keyword}}")
    endif()
  endforeach()

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
  if(NOT MSVC AND NOT ARG_STDINT AND NOT ARG_LVGL)
    get_target_property(definitions "${target}" COMPILE_DEFINITIONS)
    if(NOT "__int32=int" IN_LIST definitions)
      target_compile_definitions("${target}" PRIVATE __int32=int)
    endif()
  endif()
endfunction()

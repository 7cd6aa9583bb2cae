# The driver sits on top: it includes the loaders and the header writer, and
# nothing below it includes the driver. The driver's folder is on no other
# library's include path, so such an include fails to compile; this check
# also catches one written with a relative path ("../driver/driver.h"), and
# stops the configuration with the file and line that break the rule.
file(GLOB tarnwick_driver_headers RELATIVE ${PROJECT_SOURCE_DIR}/driver ${PROJECT_SOURCE_DIR}/driver/*.h)
foreach(folder image tga jpeg png bmp gif webp header)
  file(GLOB sources ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
      foreach(header ${tarnwick_driver_headers})
        if(line MATCHES "[\"</]${header}[\">]")
          message(FATAL_ERROR "${source} includes the driver header ${header}: "
                              "nothing below the driver may include it (${line})")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

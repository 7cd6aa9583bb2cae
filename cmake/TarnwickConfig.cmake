# Package file of an installed Tarnwick: the imported executable target
# Tarnwick::Tarnwick and the helper tarnwick_add_image_header().
include("${CMAKE_CURRENT_LIST_DIR}/TarnwickTargets.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/TarnwickImageHeader.cmake")

# Warning and sanitizer settings shared by every target of the project.
if(NOT TARNWICK_SIMD)
  # image/simd.h: every SIMD path gives way to its scalar twin.
  add_compile_definitions(TARNWICK_SCALAR_ONLY)
endif()
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
  # 32-bit x86: GCC and Clang would do floating point on the x87 unit, whose
  # 80-bit registers round the inverse DCT's and the gray reduction's
  # intermediate values differently, and so change output bytes. SSE2 (every
  # x86 processor since 2001) gives the same single and double precision
  # results as 64-bit builds.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
    add_compile_options(-msse2 -mfpmath=sse)
  endif()
  if(TARNWICK_WERROR)
    add_compile_options(-Werror)
  endif()
  if(TARNWICK_BUILD_FUZZ)
    # Coverage for libFuzzer and the sanitizers in every library it links.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    # The usual mark of a fuzzing build: the PNG loader then lets data past
    # the CRCs, which mutated input would almost never match.
    add_compile_definitions(FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION)
    # Large blocks from the heap, not mapped: libFuzzer's -malloc_limit_mb
    # then sees their sizes (image/memory_block.h).
    add_compile_definitions(TARNWICK_BLOCKS_ON_HEAP)
    add_link_options(-fsanitize=address,undefined)
  elseif(TARNWICK_SANITIZE STREQUAL "thread")
    # ThreadSanitizer: the loader's and the header writer's threads.
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=thread)
  elseif(TARNWICK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
    # Large blocks from the heap, so that AddressSanitizer knows their bounds.
    add_compile_definitions(TARNWICK_BLOCKS_ON_HEAP)
  endif()
endif()

# Library targets of the subsystems: the sources of one folder, with that
# folder on the include path of the library and of what links it. Nothing
# else goes there: a library reaches another folder's headers only by
# linking that folder's library (image/ for the Image record), and no
# library links the driver.
function(tarnwick_add_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

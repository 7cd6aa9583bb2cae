// Whether the SIMD paths are built. Each of them sits beside a scalar path
// that gives the same bytes; TARNWICK_SIMD_SSE2 is 1 where SSE2 is there
// (every x86-64 processor; 32-bit x86 builds ask for it, see
// cmake/TarnwickCompileOptions.cmake) and the build did not turn the SIMD
// paths off with cmake -DTARNWICK_SIMD=OFF (which defines
// TARNWICK_SCALAR_ONLY), and 0 otherwise (ARM, s390x, ...), so that the
// scalar paths stay built and tested. GCC and Clang say __SSE2__; MSVC says
// _M_X64, or _M_IX86_FP 2 on 32-bit x86.
#ifndef TARNWICK_IMAGE_SIMD_H
#define TARNWICK_IMAGE_SIMD_H

#if (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)) && \
    !defined(TARNWICK_SCALAR_ONLY)
#define TARNWICK_SIMD_SSE2 1
#include <emmintrin.h>
#else
#define TARNWICK_SIMD_SSE2 0
#endif

#endif // TARNWICK_IMAGE_SIMD_H

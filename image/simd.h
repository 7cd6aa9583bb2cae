// Whether the SIMD paths are built. Each of them sits beside a scalar path
// that gives the same bytes; TARNWICK_SIMD_SSE2 is 1 where SSE2 is there (every
// x86-64 processor) and the build did not turn the SIMD paths off with
// cmake -DTARNWICK_SIMD=OFF (which defines TARNWICK_SCALAR_ONLY), and 0
// otherwise, so that the scalar paths stay built and tested.
#ifndef TARNWICK_IMAGE_SIMD_H
#define TARNWICK_IMAGE_SIMD_H

#if defined(__SSE2__) && !defined(TARNWICK_SCALAR_ONLY)
#define TARNWICK_SIMD_SSE2 1
#include <emmintrin.h>
#else
#define TARNWICK_SIMD_SSE2 0
#endif

#endif // TARNWICK_IMAGE_SIMD_H

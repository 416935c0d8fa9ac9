#pragma once

// Whether the SSE2 forms of the hot pixel loops are compiled: on every target that has SSE2 (all
// x86-64, and the i686 build, which asks for it), unless LUMAFOLIO_SCALAR_ONLY is defined. CI
// builds the pixel tests once that way, so that the scalar forms, which other processors would
// run, are tested as well.
#if defined(__SSE2__) && !defined(LUMAFOLIO_SCALAR_ONLY)
#define LUMAFOLIO_SSE2 1
#include <emmintrin.h>
#else
#define LUMAFOLIO_SSE2 0
#endif

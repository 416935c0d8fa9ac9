set(CMAKE_SYSTEM_PROCESSOR i686)
set(LUMAFOLIO_MINGW_TRIPLE i686-w64-mingw32)
# Every 32-bit Windows that runs today has SSE2. Without these flags the compiler leaves out every
# SSE2 path, which the 64-bit build tests, and computes in x87's extended precision, whose
# truncations can differ by one from the tested build's. 32-bit Windows promises only 4-byte stack
# alignment where it calls us (window procedures, thread starts, callbacks): -mstackrealign makes
# every function that keeps SSE values on its stack align it first.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Cross build for i686 Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TONEWELL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
# SSE2 as the baseline: the sample kernels set the SSE rounding mode.
set(CMAKE_C_FLAGS_INIT -msse2)
set(CMAKE_CXX_FLAGS_INIT -msse2)

# What the mingw-w64 toolchain files share; each sets TONEWELL_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first. Debian's posix-thread compilers, which
# std::thread and std::mutex need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TONEWELL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TONEWELL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TONEWELL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TONEWELL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The compiler's run-time libraries go into each DLL, so tonewell.dll needs
# no mingw DLLs beside it.
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Shared part of the mingw-w64 toolchains; the per-target files set LUMAFOLIO_MINGW_TRIPLE first.
set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: the win32 one has no std::mutex/std::thread, which GoogleTest needs.
set(CMAKE_C_COMPILER ${LUMAFOLIO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMAFOLIO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMAFOLIO_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LUMAFOLIO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# A player must run on a bare Windows with nothing but system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

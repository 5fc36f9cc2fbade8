# Cross build for 32-bit Windows (hosts that are 32-bit programs) with the mingw-w64 posix-thread toolchain.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TW_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# SSE2 arithmetic instead of the x87 unit: the x87's wider intermediates would round
# differently from the 64-bit build, whose output this build must match bit for bit. Every
# processor a host of this plug-in runs on has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

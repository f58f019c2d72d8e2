set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOVIK_MINGW_PREFIX i686-w64-mingw32)
# The win32 thread model: its runtime imports only what Windows 98 SE exports,
# where the posix one pulls in winpthreads and functions of Vista and later.
set(CMAKE_C_COMPILER ${TOVIK_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOVIK_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOVIK_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOVIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# 32-bit Windows programs cannot run on these machines: this build compiles,
# links and checks the import tables of what ships.

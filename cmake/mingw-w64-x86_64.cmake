# Cross compilation for 64-bit Windows with Debian's mingw-w64 (package g++-mingw-w64-x86-64).
# The -posix compilers use the winpthreads thread model, which std::mutex and std::call_once need.
# Target programs run under Wine: CTest and gtest_discover_tests start them through the emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(FCLIB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${FCLIB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${FCLIB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${FCLIB_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${FCLIB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(FCLIB_WINE NAMES wine wine64)
if(FCLIB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${FCLIB_WINE})
endif()

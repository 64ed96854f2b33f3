# Cross-building the Qt-free libraries and their tests for 64-bit Windows with
# Debian's mingw-w64 (the posix thread model, which std::thread needs). Tests
# run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVELLE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVELLE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVELLE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVELLE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVELLE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime libraries go into each executable, so that Wine (or a Windows
# machine) needs no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(ORVELLE_WINE NAMES wine wine64)
if(ORVELLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVELLE_WINE})
endif()

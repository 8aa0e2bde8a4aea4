# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX threads flavour, which
# std::thread needs) and runs what it builds (tests, try_run checks) under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVANE_MINGW_TRIPLET}-windres)

# The libraries built for Windows by scripts/windows-deps are found before the system's.
if(DEFINED ENV{TOLVANE_WINDOWS_DEPS})
    set(TOLVANE_WINDOWS_DEPS "$ENV{TOLVANE_WINDOWS_DEPS}" CACHE PATH "Libraries built for Windows")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVANE_MINGW_TRIPLET} ${TOLVANE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)

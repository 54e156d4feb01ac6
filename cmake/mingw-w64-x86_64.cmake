# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix thread model, the one Qt is
# built with). LUMO_WIN_QT (a CMake or environment variable) names the Qt built for Windows,
# e.g. the cache ./scripts/windows fills.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LUMO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMO_MINGW_PREFIX}-windres)

# Programs (moc, rcc, uic) run on this machine; libraries and headers come from the target's.
# The Qt for Windows is searched like the target's own libraries, never the machine's Qt.
set(LUMO_WIN_QT "$ENV{LUMO_WIN_QT}" CACHE PATH "Qt built for x86_64-w64-mingw32")
set(CMAKE_FIND_ROOT_PATH /usr/${LUMO_MINGW_PREFIX} ${LUMO_WIN_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

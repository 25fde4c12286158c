# Debian's i686 mingw-w64 cross compiler: 32-bit Windows, for legacy 32-bit hosts.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZX_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)

# Debian's x86-64 mingw-w64 cross compiler: 64-bit Windows, every current host.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZX_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-w64.cmake)

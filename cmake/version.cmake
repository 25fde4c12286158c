# The effect's version as host/effect_info.h states it: ZX_VERSION_MAJOR, ZX_VERSION_MINOR and
# ZX_VERSION ("major.minor"). The build includes this file; `cmake -P cmake/version.cmake`
# prints ZX_VERSION for the packaging scripts.
set(zx_effect_info "${CMAKE_CURRENT_LIST_DIR}/../host/effect_info.h")
file(STRINGS "${zx_effect_info}" zx_version_lines REGEX "k(Major|Minor)Version = [0-9]+;")
foreach(part Major Minor)
    if(NOT zx_version_lines MATCHES "k${part}Version = ([0-9]+)")
        message(FATAL_ERROR "no k${part}Version in ${zx_effect_info}")
    endif()
    string(TOUPPER "${part}" zx_upper)
    set(ZX_VERSION_${zx_upper} "${CMAKE_MATCH_1}")
endforeach()
set(ZX_VERSION "${ZX_VERSION_MAJOR}.${ZX_VERSION_MINOR}")

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${ZX_VERSION}")
endif()

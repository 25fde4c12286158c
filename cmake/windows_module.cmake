# VarnokZentrilox.aex: the Windows DLL the host loads, 32-bit or 64-bit after the toolchain.
# One export, EntryPointFunc, by its undecorated name through the module definition file; the
# property list as a "PIPL" resource generated from the same table the native tests check; no
# runtime DLLs of the cross compiler.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ZX_PIPL_TARGET win64)
else()
    set(ZX_PIPL_TARGET win32)
endif()

# The generator runs on the build machine, so it is compiled with the native compiler.
find_program(ZX_HOST_CXX NAMES g++ c++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(ZX_PIPL_GEN ${CMAKE_CURRENT_BINARY_DIR}/pipl_gen_host)
set(ZX_PIPL_BIN ${CMAKE_CURRENT_BINARY_DIR}/VarnokZentrilox.pipl)
add_custom_command(
    OUTPUT ${ZX_PIPL_GEN}
    COMMAND ${ZX_HOST_CXX} -std=c++20 -O1 -I${CMAKE_CURRENT_SOURCE_DIR}
            ${CMAKE_CURRENT_SOURCE_DIR}/resources/pipl_gen.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/resources/pipl.cpp -o ${ZX_PIPL_GEN}
    DEPENDS resources/pipl_gen.cpp resources/pipl.cpp resources/pipl.h host/effect_info.h
            host/ae_api.h
    COMMENT "Building the native property list generator")
add_custom_command(
    OUTPUT ${ZX_PIPL_BIN}
    COMMAND ${ZX_PIPL_GEN} ${ZX_PIPL_TARGET} ${ZX_PIPL_BIN}
    DEPENDS ${ZX_PIPL_GEN}
    COMMENT "Generating the ${ZX_PIPL_TARGET} property list")
configure_file(resources/VarnokZentrilox.rc.in ${CMAKE_CURRENT_BINARY_DIR}/VarnokZentrilox.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/VarnokZentrilox.rc PROPERTIES
    OBJECT_DEPENDS ${ZX_PIPL_BIN})

add_library(VarnokZentrilox SHARED
    $<TARGET_OBJECTS:zentrilox_objects>
    $<TARGET_OBJECTS:zentrilox_core>
    ${CMAKE_CURRENT_BINARY_DIR}/VarnokZentrilox.rc
    resources/VarnokZentrilox.def)
set_target_properties(VarnokZentrilox PROPERTIES PREFIX "" SUFFIX ".aex")
target_link_options(VarnokZentrilox PRIVATE -static -static-libgcc -static-libstdc++
    -Wl,--kill-at $<$<CONFIG:Release>:-s>)

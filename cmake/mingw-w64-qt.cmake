# The Qt programs for 64-bit Windows (scripts/package-windows): chain-loaded by the prebuilt Qt's
# qt.toolchain.cmake, which adds Qt's own folders. The compilers of mingw-w64.cmake, but linked
# dynamically: Qt's DLLs use the compiler's runtime DLLs, and the programs share those instead of
# carrying a second copy. ZOND_WINDOWS_DEPS names the folder of the other prebuilt libraries.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "")

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZOND_WINDOWS_DEPS)
if(ZOND_WINDOWS_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${ZOND_WINDOWS_DEPS})
endif()

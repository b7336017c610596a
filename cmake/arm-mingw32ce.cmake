# Cross build for Windows CE on ARM with the CeGCC toolchain (arm-mingw32ce,
# GCC 4.4), as third_party/cegcc/build-toolchain builds it; CEGCC_PREFIX is
# its folder. Only the item is built for the device.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(MESOLUNE_WINDOWS_CE ON)

if(NOT CEGCC_PREFIX)
    message(FATAL_ERROR "CEGCC_PREFIX must name the Windows CE toolchain's folder (make ce passes it)")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CEGCC_PREFIX)

set(CEGCC_TRIPLET arm-mingw32ce)
set(CMAKE_C_COMPILER ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-windres)
set(CMAKE_AR ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${CEGCC_PREFIX}/bin/${CEGCC_TRIPLET}-objdump CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH ${CEGCC_PREFIX}/${CEGCC_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler checks only compile: a test program would link the desktop's
# libraries, which a device has not.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

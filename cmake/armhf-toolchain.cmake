# Cross build for the camera's 32-bit ARM co-processor (Debian's armhf: ARMv7, hard float) with
# Debian's cross toolchain. The libraries come from the :armhf development packages installed
# beside the native ones through multiarch (scripts/setup-armhf.sh), so there is no separate
# sysroot: their headers sit in /usr/include, their libraries in /usr/lib/arm-linux-gnueabihf.
# The built programs run on this machine under qemu-user (the tests use it through
# CMAKE_CROSSCOMPILING_EMULATOR).

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# GCC notes on ARM that the passing of some types changed in GCC 7.1: it matters only when
# linking with code built by an older compiler, which this build never does.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")

# Programs (python3, protoc, ccache) are the build machine's; libraries, headers and CMake
# package files are looked up for armhf only, so that a native library is never linked.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH /)

# pkg-config reads the armhf package descriptions (libexif.pc and the like).
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# The ARM binaries run through qemu-user; the dynamic loader and libraries are the armhf ones
# installed by multiarch at their usual paths, so no prefix is needed.
find_program(ZQ_QEMU_ARM qemu-arm PATHS /usr/bin NO_DEFAULT_PATH)
if(ZQ_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZQ_QEMU_ARM})
endif()

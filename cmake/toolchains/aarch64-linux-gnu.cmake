# 64-bit Arm Linux (Raspberry Pi OS 64-bit, Debian 12 arm64) with Debian's cross compiler
# (crossbuild-essential-arm64) and the arm64 libraries installed beside the host's (multiarch).
# Qt's code generators (moc, uic, qdbusxml2cpp) are the host's own; programs built here run
# under qemu-user, so CTest and the build's own steps can start them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /usr/lib/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_PREFIX_PATH /usr/lib/aarch64-linux-gnu/cmake)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# -L /: the arm64 loader and libraries are found under /usr/lib/aarch64-linux-gnu by multiarch.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /)

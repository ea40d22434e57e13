# 64-bit ARM Linux (Raspberry Pi OS and Debian arm64) with Debian's cross
# compiler and the arm64 libraries of a multiarch machine
# (dpkg --add-architecture arm64). Qt's own tools (moc, rcc) are the build
# machine's; the test programs that the build lists run under qemu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH OUTPUT_VARIABLE build_multiarch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${build_multiarch}/cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static)

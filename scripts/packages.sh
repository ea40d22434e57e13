# The Debian packages each command needs; sourced by the scripts beside it.
# fonts-liberation2 gives Arial's metrics where Arial itself is missing.
build_packages=(cmake ninja-build g++ qt6-base-dev fonts-liberation2)
test_packages=(libgtest-dev xvfb xdotool imagemagick dpkg-dev file)
# The sanitizer build and the fuzzer: clang with its runtime libraries.
sanitize_packages=(clang libclang-rt-14-dev)
# The Windows build, cross-compiled, and Wine to test it (32-bit: i386 multiarch).
windows_packages=(g++-mingw-w64-i686 googletest wine wine32:i386 unzip)

# The Debian packages each command needs; sourced by the scripts beside it.
build_packages=(cmake ninja-build g++ pkg-config)
test_packages=(libgtest-dev)

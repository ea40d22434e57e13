# The Debian packages each command needs; sourced by the scripts beside it.
# fonts-liberation2 gives Arial's metrics where Arial itself is missing.
build_packages=(cmake ninja-build g++ qt6-base-dev fonts-liberation2)
test_packages=(libgtest-dev xvfb xdotool imagemagick)

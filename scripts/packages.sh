# The Debian packages each command needs; sourced by the scripts beside it.
# fonts-liberation2 gives Arial's metrics where Arial itself is missing; the
# xcb extensions wake an X11 screen for an alarm; Wayland's protocols and
# Qt's native interface (qt6-base-private-dev) keep a Wayland screen awake.
build_packages=(cmake ninja-build g++ qt6-base-dev fonts-liberation2 libxcb-dpms0-dev libxcb-screensaver0-dev
                qt6-base-private-dev libwayland-dev wayland-protocols)
# locales: the German locales that reports and the window are tested in;
# multimon-ng: the real decoder at the head of the decoder chain's tests;
# xclip reads what the window shows, copied with real keys; procps finds
# the processes a stopped chain must not leave; the file systems that the
# saves are tried on: e2fsprogs, xfsprogs, btrfs-progs, and bindfs (FUSE);
# weston and Qt's Wayland plugin for the window in a Wayland session, sway
# for its idle inhibitor and activation; openbox,
# Xorg's dummy driver and the X utilities for the window's stacking and the
# screen saver that an alarm ends.
test_packages=(libgtest-dev xvfb xdotool xclip imagemagick dpkg-dev file locales multimon-ng procps
               e2fsprogs xfsprogs btrfs-progs bindfs weston qt6-wayland sway
               openbox xserver-xorg-video-dummy x11-utils x11-xserver-utils)
# The sanitizer build and the fuzzer: clang with its runtime libraries (the
# unversioned name follows the release's clang), and llvm for its
# symbolizer, which names the frames that suppressions match.
sanitize_packages=(clang libclang-rt-dev llvm)

# The program for 64-bit ARM (Raspberry Pi OS, Debian arm64), cross-built
# against the arm64 libraries of this multiarch machine; its tests run under
# qemu's user-mode emulator (scripts/arm64-run), its window in Wayland too.
arm64_packages=(g++-aarch64-linux-gnu qt6-base-dev:arm64 qt6-wayland:arm64 qemu-user-static googletest
                libxcb-dpms0-dev:arm64 libxcb-screensaver0-dev:arm64 qt6-base-private-dev:arm64 libwayland-dev:arm64)

# Whether this machine's kernel runs 32-bit x86 programs; some turn that off.
# The probe is the smallest such program: it only exits with status 0.
can_run_i386() {
  local probe status=0
  probe=$(mktemp)
  base64 -d >"$probe" <<<'f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAAAIAECACABAhbAAAAWwAAAAUAAAAAEAAAMdsxwEDNgA=='
  chmod +x "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return "$status"
}

# The Windows build, cross-compiled, and Wine to test it. kulverant.exe is a
# 32-bit program, tested under Wine's 32-bit half (i386 multiarch). Where the
# kernel runs no 32-bit code, its tests run on a 64-bit build of the same
# source under Wine's 64-bit half instead (the "windows64" preset).
# KULVERANT_WINDOWS64=1 runs that path too on a kernel that has both, so
# that CI keeps both paths working whatever kernel it runs on.
windows_packages=(g++-mingw-w64-i686 googletest wine unzip)
windows_test_presets=()
if can_run_i386; then
  windows_test_presets+=(windows)
  windows_packages+=(wine32:i386)
fi
if [ ${#windows_test_presets[@]} -eq 0 ] || [ "${KULVERANT_WINDOWS64:-}" = 1 ]; then
  windows_test_presets+=(windows64)
  windows_packages+=(g++-mingw-w64-x86-64 wine64)
fi
windows_test_preset=${windows_test_presets[0]}

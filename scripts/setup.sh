#!/usr/bin/env bash
# Installs the Debian packages the project needs (only those missing), then configures and builds.
# libx11-dev builds the preview window; ffmpeg encodes render --video; xvfb, x11-apps (xwd),
# xdotool and netpbm (xwdtopnm) let the tests run the preview on a private X server.
# libcairo2-dev draws the labels of ffglhost's parameter sheets, in the DejaVu font.
# libturbojpeg0-dev decodes JPEG pictures given to effects with --input (ffmpeg decodes videos).
# nlohmann-json3-dev (header-only, the Windows build uses it too) writes ffglhost's --report files;
# python3-jsonschema and libxml2-utils (xmllint) let the tests check them and the --junit files
# against their schemas.
#
#   scripts/setup.sh                 release build in build/
#   scripts/setup.sh --sanitize      AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   scripts/setup.sh --fuzz          libFuzzer targets (clang, sanitizers) in build-fuzz/
#   scripts/setup.sh --no-build      install packages only
#   scripts/setup.sh --profiling     also the profilers bench/profile.sh uses (valgrind, apitrace) and
#                                    GNU time for bench/inputs_speed.sh
#   scripts/setup.sh --packaging     also what scripts/package.sh needs (dpkg-shlibdeps, file)
#   scripts/setup.sh --windows       also the cross compiler, Wine and Xvfb (scripts/build-windows.sh)
#   scripts/setup.sh --i386          32-bit x86 build in build-i386/ (adds the i386 architecture
#                                    and the :i386 libraries); with --sanitize: build-i386-asan/
# mesa-vulkan-drivers (lavapipe) and libvulkan1 let Mesa's zink run OpenGL on Vulkan
# (ffglhost --driver zink).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake g++ make ninja-build pkg-config
  libgl-dev libglu1-mesa-dev libegl-dev libgl1-mesa-dri libegl-mesa0 libglx-mesa0
  libtinyxml-dev libpng-dev libgtest-dev g++-multilib valgrind
  libx11-dev ffmpeg
  xvfb x11-apps xdotool netpbm
  libcairo2-dev fonts-dejavu-core libturbojpeg0-dev
  mesa-vulkan-drivers libvulkan1
  nlohmann-json3-dev python3-jsonschema libxml2-utils
)
# The 32-bit build: the same libraries for i386 beside the 64-bit ones (Debian multiarch), built
# with the multilib compiler (g++-multilib above brings its 32-bit runtime and sanitizers).
I386_PACKAGES=(
  libgl-dev:i386 libglu1-mesa-dev:i386 libegl-dev:i386 libgl1-mesa-dri:i386 libegl-mesa0:i386
  libglx-mesa0:i386 libtinyxml-dev:i386 libpng-dev:i386 libgtest-dev:i386 libx11-dev:i386
  mesa-vulkan-drivers:i386 libvulkan1:i386 libcairo2-dev:i386 libturbojpeg0-dev:i386
)
# The fuzzing build needs clang and its libFuzzer and sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Only for bench/profile.sh, not for building or testing.
PROFILING_PACKAGES=(valgrind apitrace python3 time)
# Only for scripts/package.sh: CPack finds the packages' shared-library dependencies with them.
PACKAGING_PACKAGES=(dpkg-dev file)
# The Windows build: MinGW-w64 (POSIX threads), dpkg-source for Debian's source packages,
# googletest's sources, and Wine (wine64 only: no i386 multiarch) under Xvfb for its tests.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
  dpkg-dev googletest wine wine64 xvfb xauth
)

build_dir=build
cmake_args=()
do_build=1
i386=0
sanitize=0
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1; cmake_args+=(-DKX_SANITIZE=ON) ;;
    --i386)
      i386=1
      PACKAGES+=("${I386_PACKAGES[@]}")
      # Its tests also run the 64-bit host and plug-ins of build/ against the 32-bit ones.
      cmake_args+=("-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/i386-linux-gnu.cmake" "-DKX_COMPARE_BUILD_DIR=$PWD/build")
      ;;
    --fuzz)
      build_dir=build-fuzz
      PACKAGES+=("${FUZZ_PACKAGES[@]}")
      # -O1 as usual for fuzzing: fast enough, and the sanitizers still see every access.
      cmake_args+=(-DKX_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                   "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g")
      ;;
    --no-build) do_build=0 ;;
    --profiling) PACKAGES+=("${PROFILING_PACKAGES[@]}") ;;
    --packaging) PACKAGES+=("${PACKAGING_PACKAGES[@]}") ;;
    --windows) PACKAGES+=("${WINDOWS_PACKAGES[@]}") ;;
    *) echo "setup.sh: unknown option '$arg'" >&2; exit 2 ;;
  esac
done
if [ "$i386" -eq 1 ]; then
  build_dir=build-i386
  [ "$sanitize" -eq 0 ] || build_dir=build-i386-asan
elif [ "$sanitize" -eq 1 ]; then
  build_dir=build-asan
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
# Other package runs on the machine hold dpkg's lock for a while; wait for them instead of failing.
apt_wait=(-o DPkg::Lock::Timeout=600)
if [ "$i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "==> Adding the i386 architecture"
  $sudo dpkg --add-architecture i386
  $sudo apt-get "${apt_wait[@]}" update -qq
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "==> Installing missing Debian packages: ${missing[*]}"
  $sudo apt-get "${apt_wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
fi

[ "$do_build" -eq 1 ] || exit 0

echo "==> Configuring $build_dir"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" >/dev/null
echo "==> Building $build_dir"
cmake --build "$build_dir" -j "$(nproc)"

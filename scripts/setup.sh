#!/usr/bin/env bash
# Installs what the build needs (only what is missing), configures and builds.
# Sourced by run.sh and test.sh; BUILD_DIR and BUILD_TYPE may be set by the caller.
set -euo pipefail

QUARROW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$QUARROW_ROOT/build}"
BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"

PACKAGES=(
  cmake ninja-build g++ pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libjpeg62-turbo-dev mdbtools-dev libx11-dev
  clang libclang-rt-14-dev
  fonts-dejavu-core
  unrtf poppler-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# Configure every time: folders added since the last run are picked up (cheap when nothing changed).
cmake -S "$QUARROW_ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="$BUILD_TYPE" "${launcher[@]}" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$BUILD_DIR" --parallel "${QUARROW_JOBS:-$(nproc)}"

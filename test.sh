#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then builds the whole suite again with
# clang under AddressSanitizer and UBSan, runs it there and runs every fuzz target a fixed number
# of times (skip that with QUARROW_NO_SANITIZE=1).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/setup.sh"
# Every header compiles on its own.
cmake --build "$BUILD_DIR" --parallel "${QUARROW_JOBS:-$(nproc)}" --target check_headers
samples="$(sed -n 's/^QUARROW_SAMPLES_DIR:PATH=//p' "$BUILD_DIR/CMakeCache.txt")"
if [ ! -f "$samples/demo-country.cds" ]; then
  echo "Sample files not found in $samples: the tests that read them are skipped${QUARROW_REQUIRE_SAMPLES:+ (and fail, as QUARROW_REQUIRE_SAMPLES is set)}."
fi
if [ -z "${QUARROW_NO_SANITIZE:-}" ]; then
  "$here/scripts/sanitize.sh"
fi
cd "$BUILD_DIR"
echo "== the test suite"
ctest --output-on-failure --parallel "${QUARROW_JOBS:-$(nproc)}" "$@"

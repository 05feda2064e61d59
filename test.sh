#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; the tests of untrusted input also run
# under AddressSanitizer and UBSan (skip with QUARROW_NO_SANITIZE=1).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/setup.sh"
# Every header compiles on its own.
cmake --build "$BUILD_DIR" --parallel "${QUARROW_JOBS:-$(nproc)}" --target check_headers
if [ -z "${QUARROW_NO_SANITIZE:-}" ]; then
  "$here/scripts/sanitize.sh" test_platform_client test_platform_vcl
fi
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "${QUARROW_JOBS:-$(nproc)}" "$@"

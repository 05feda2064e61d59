#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/setup.sh"
cd "$BUILD_DIR"
ctest --output-on-failure --parallel "$(nproc)" "$@"

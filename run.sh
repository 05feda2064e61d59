#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarrow (optionally on a data file).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/scripts/setup.sh"
exec "$BUILD_DIR/quarrow" "$@"

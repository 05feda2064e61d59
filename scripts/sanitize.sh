#!/usr/bin/env bash
# Builds everything but the benchmarks with clang under AddressSanitizer and UBSan (clang's
# UBSan also checks float-to-integer conversions) in a build folder of its own, runs the whole
# test suite there, then every fuzz target a fixed number of times (scripts/fuzz.sh).
# Called by test.sh; QUARROW_NO_SANITIZE=1 skips it there.
#   scripts/sanitize.sh [ctest arguments]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${SANITIZE_BUILD_DIR:-$root/build-sanitize}"
jobs="${QUARROW_JOBS:-$(nproc)}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# A folder configured with another compiler cannot be switched over: start it again.
if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' "$dir/CMakeCache.txt"; then
  rm -rf "$dir"
fi
# Line tables are all a report needs, and -O1 keeps the build short and the stacks true.
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" -DQUARROW_SANITIZE=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON "${launcher[@]}" ${CMAKE_EXTRA_ARGS:-} > /dev/null
cmake --build "$dir" --parallel "$jobs"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
echo "== the test suite under AddressSanitizer and UBSan"
# Two tests stay with the plain build: the Access damage walk starts the reader process for
# every cut and flip of a database (half an hour under the sanitizers; the reader is a thin
# shell over the library), and the killed-restructure test, which times its kills.
(cd "$dir" && ctest --output-on-failure --parallel "$jobs" -E '^(DamagedAccessDatabase|RestructureKilled)\.' "$@")
"$root/scripts/fuzz.sh" "$dir"

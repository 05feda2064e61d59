#!/usr/bin/env bash
# Builds the given test programs with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of their own and runs them. Called by test.sh for the tests of untrusted input.
#   scripts/sanitize.sh test_platform_client [more test targets]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="${SANITIZE_BUILD_DIR:-$root/build-asan}"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARROW_SANITIZE=ON "${launcher[@]}" ${CMAKE_EXTRA_ARGS:-} > /dev/null
fi
cmake --build "$dir" --parallel "${QUARROW_JOBS:-$(nproc)}" --target "$@"
samples="$(sed -n 's/^QUARROW_SAMPLES_DIR:PATH=//p' "$dir/CMakeCache.txt")"
status=0
for target in "$@"; do
  exe="$(find "$dir/tests" -type f -name "$target" -perm -u+x | head -n 1)"
  echo "== $target under AddressSanitizer and UBSan"
  QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 TZ=UTC QUARROW_SAMPLES_DIR="$samples" \
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1" \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "$exe" --gtest_brief=1 || status=1
done
exit $status

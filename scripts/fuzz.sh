#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer build (scripts/sanitize.sh) a fixed number of times, so
# that CI time stays bounded, seeded from the real samples and from the inputs kept in
# tests/fuzz (seeds/ and fixtures/). An input that makes a target fail is kept in
# <build>/fuzz/findings/<target>/ and fails the run; keep it as a named fixture once mended.
#   scripts/fuzz.sh [build folder] [runs per target]      (QUARROW_FUZZ_RUNS sets the default)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir="$(cd "${1:-$root/build-sanitize}" && pwd)"
runs="${2:-${QUARROW_FUZZ_RUNS:-4000}}"
samples="$(sed -n 's/^QUARROW_SAMPLES_DIR:PATH=//p' "$dir/CMakeCache.txt")"
kept="$root/tests/fuzz"
work="$dir/fuzz/work"
findings="$dir/fuzz/findings"
rm -rf "$work" "$findings"
mkdir -p "$work" "$findings"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

# seeds <target> <files...>: copies the files into the target's seed folder.
seeds() {
  local target="$1"; shift
  mkdir -p "$work/$target/seeds"
  local f
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$work/$target/seeds/"; done
  return 0
}
# pack <target> <table> <companion extensions...>: the table followed by its companion file
# (any letter case) after the marker the table targets split at.
pack() {
  local target="$1" table="$2"; shift 2
  local base="${table%.*}" ext f out
  mkdir -p "$work/$target/seeds"
  out="$work/$target/seeds/$(basename "$table")"
  cp "$table" "$out"
  for ext in "$@"; do
    for f in "$base".*; do
      if [ "$(printf %s "${f##*.}" | tr '[:upper:]' '[:lower:]')" = "$ext" ]; then
        { printf '\0QUARROW-COMPANION\0'; cat "$f"; } >> "$out"
        return 0
      fi
    done
  done
}

if [ -d "$samples" ]; then
  mapfile -t packets < <(find "$samples" -maxdepth 1 -type f \( -name '*.cds' -o -name '*.xml' \))
  mapfile -t xmls < <(find "$samples" -maxdepth 1 -type f -name '*.xml')
  mapfile -t paradox < <(find "$samples/tables/paradox" -type f -iname '*.db' 2>/dev/null)
  mapfile -t dbase < <(find "$samples/tables/dbase" -type f -iname '*.dbf' 2>/dev/null)
  seeds fuzz_packet "${packets[@]}"
  seeds fuzz_xml_packet "${xmls[@]}"
  seeds fuzz_dbase "${dbase[@]}"
  for t in "${paradox[@]}"; do pack fuzz_paradox "$t" mb; done
  for t in "${dbase[@]}"; do pack fuzz_dbase_memo "$t" dbt fpt; done
else
  echo "fuzz: no sample files in $samples: the targets start from the inputs kept in tests/fuzz"
fi

# target <name> <max input length> [more libFuzzer options]
targets=()
declare -A maxlen extra
target() { targets+=("$1"); maxlen[$1]="$2"; extra[$1]="${3:-}"; }
target fuzz_packet 65536 "-dict=$root/tests/platform/client/fuzz/packet.dict"
target fuzz_xml_packet 65536 "-dict=$root/tests/platform/client/fuzz/packet.dict"
target fuzz_paradox 262144
target fuzz_dbase 131072
target fuzz_dbase_memo 262144
target fuzz_memtable_binary 65536
target fuzz_memtable_csv 65536
target fuzz_settings 16384

run() {
  local t="$1" exe="$dir/fuzz/$1" inputs=()
  mkdir -p "$work/$t/corpus" "$findings/$t"
  [ -d "$work/$t/seeds" ] && inputs+=("$work/$t/seeds")
  [ -d "$kept/seeds/$t" ] && inputs+=("$kept/seeds/$t")
  [ -d "$kept/fixtures/$t" ] && inputs+=("$kept/fixtures/$t")
  [ "$t" = fuzz_packet ] && inputs+=("$root/tests/platform/client/fuzz/corpus")
  # shellcheck disable=SC2086
  if "$exe" -runs="$runs" -seed=1 -max_len="${maxlen[$t]}" -timeout=20 -rss_limit_mb=3072 -print_final_stats=1 \
       -artifact_prefix="$findings/$t/" ${extra[$t]} "$work/$t/corpus" "${inputs[@]}" > "$work/$t.log" 2>&1; then
    echo "fuzz: $t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t.log" | grep -o '[0-9]*$') runs, no fault"
  else
    echo "fuzz: $t FOUND A FAULT (input kept in $findings/$t/):"
    grep -v '^#\|^INFO\|^MERGE\|^Loading' "$work/$t.log" | tail -n 40
    return 1
  fi
}

echo "== every fuzz target, $runs runs each"
pids=()
for t in "${targets[@]}"; do
  run "$t" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status

#!/usr/bin/env bash
# Builds the packet reader fuzz target with clang (libFuzzer, AddressSanitizer, UBSan) and runs
# it seeded from the real sample files and the corpus kept beside this script.
#   run-fuzz.sh [seconds=60] [more libFuzzer options]
# New inputs that add coverage are merged into corpus/, cut to 4 KB each to keep it small.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../../.." && pwd)"
seconds="${1:-60}"
shift || true
out="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
samples="${QUARROW_SAMPLES_DIR:-$root/../shared/samples}"
mkdir -p "$out/work"

sources=("$here/PacketFuzz.cpp" "$root"/platform/client/Packet*.cpp "$root"/platform/core/*.cpp)
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
    -I"$root" $(pkg-config --cflags Qt6Core) "${sources[@]}" -o "$out/packet_fuzz" $(pkg-config --libs Qt6Core)

seeds=()
[ -d "$samples" ] && seeds+=("$samples")
"$out/packet_fuzz" -dict="$here/packet.dict" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
    -max_total_time="$seconds" "$@" "$out/work" "$here/corpus" "${seeds[@]}"
# Keep what adds coverage, smallest first.
"$out/packet_fuzz" -merge=1 -max_len=4096 "$here/corpus" "$out/work" > /dev/null 2>&1
echo "corpus: $(ls "$here/corpus" | wc -l) files, $(du -sb "$here/corpus" | cut -f1) bytes"

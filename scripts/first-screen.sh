#!/usr/bin/env bash
# Start to first screen with data, this program against DB Browser for SQLite (the measuring
# peer; install it yourself, e.g. from Debian's sqlitebrowser package), side by side in one run
# under Xvfb: this program opening a data file of 1,000,000 records of ten fields in its data
# window, the peer opening the same rows in a SQLite file on its Browse Data tab. Each run starts
# one program and then the other; a warm-up pair is not counted. Prints both sides, the ratio per
# pair and the medians.
#
#   scripts/first-screen.sh [RUNS]        (BUILD_DIR: the build with quarrow; DISPLAY_NUMBER: :19)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
display="${DISPLAY_NUMBER:-:19}"
runs="${1:-5}"
work="${FIRST_SCREEN_DIR:-/tmp/quarrow-first-screen}"
mkdir -p "$work"
command -v sqlitebrowser >/dev/null || { echo "sqlitebrowser is not installed" >&2; exit 2; }
[ -x "$build/quarrow" ] || { echo "no $build/quarrow: build first" >&2; exit 2; }
if [ ! -f "$work/million.cds" ] || [ ! -f "$work/million.sqlite" ]; then
  python3 "$root/scripts/first-screen-data.py" "$work/million.cds" "$work/million.sqlite"
fi
watch="$work/first-screen-watch"
if [ ! -x "$watch" ] || [ "$root/scripts/first-screen-watch.cpp" -nt "$watch" ]; then
  g++ -O2 -std=c++17 -o "$watch" "$root/scripts/first-screen-watch.cpp" -lX11
fi

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do DISPLAY="$display" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY="$display" QT_QPA_PLATFORM=xcb
# Each program keeps its settings in a folder of its own for the run.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME"

# The peer opens with docks beside its rows (SQL log, plot, schema, cell editor, remote) that
# query the file while its rows are read: they are closed once, with its View menu's Window
# Layout > Simplify Window Layout, as a user who only looks at rows would have it. The menu is
# found relative to the peer's window, wherever it was placed.
if ! grep -q '^windowState' "$XDG_CONFIG_HOME/sqlitebrowser/sqlitebrowser.conf" 2>/dev/null; then
  sqlitebrowser >/dev/null 2>&1 &
  peer_pid=$!
  sleep 3
  eval "$(xdotool search --sync --onlyvisible --pid "$peer_pid" | head -1 | xargs xdotool getwindowgeometry --shell)"
  xdotool mousemove $((X + 100)) $((Y + 10)) click 1; sleep 0.7
  xdotool mousemove $((X + 150)) $((Y + 340)); sleep 0.3
  xdotool mousemove $((X + 250)) $((Y + 340)); sleep 0.7
  xdotool mousemove $((X + 450)) $((Y + 365)) click 1; sleep 0.7
  xdotool key ctrl+q; sleep 1.5
  kill "$peer_pid" 2>/dev/null || true
fi

ours() { "$watch" 30 -- "$build/quarrow" "$work/million.cds" | sed -n 's/^first_screen_s=\([0-9.]*\).*/\1/p'; }
peer() { "$watch" 30 -- sqlitebrowser -t rows "$work/million.sqlite" | sed -n 's/^first_screen_s=\([0-9.]*\).*/\1/p'; }

ours >/dev/null; peer >/dev/null
a=(); b=(); r=()
for i in $(seq "$runs"); do
  x="$(ours)"; y="$(peer)"
  ratio="$(python3 -c "print(f'{$x / $y:.3f}')")"
  echo "run $i: quarrow ${x}s  sqlitebrowser ${y}s  ratio ${ratio}"
  a+=("$x"); b+=("$y"); r+=("$ratio")
done
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}'; }
echo "median: quarrow $(median "${a[@]}")s  sqlitebrowser $(median "${b[@]}")s  ratio $(median "${r[@]}")"

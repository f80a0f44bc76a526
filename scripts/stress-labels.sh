#!/usr/bin/env bash
# Runs the CTest suites of the given labels RUNS times in a row while every
# core is kept busy, stopping at the first failure (its output is printed).
# Tests that wait on another process or on time show their races here.
#   scripts/stress-labels.sh [RUNS] [LABELS] [ctest arguments...]
#   e.g. scripts/stress-labels.sh 20 'gui|peer'
#        scripts/stress-labels.sh 20 peer -R ClipboardPeer
# Builds nothing: run it on a build tree made by ./test.sh (or BUILD=dir).
# Not part of ./test.sh: it takes too long for every run.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
velto_need $(velto_packages stress) || exit 1

runs=${1:-20}
labels=${2:-gui|peer}
shift $(($# < 2 ? $# : 2))
build=${BUILD:-build}
jobs=${JOBS:-$(nproc)}

case $runs in '' | *[!0-9]*) echo "RUNS must be a number, not '$runs'" >&2; exit 2 ;; esac
if [ ! -f "$build/CTestTestfile.cmake" ]; then
  echo "no test tree in $build: build it first (./test.sh)" >&2
  exit 2
fi
# The npm peers installed by ./test.sh, when they are there.
[ -d "$build/peer-node/node_modules" ] && export VELTO_PEER_NODE="$PWD/$build/peer-node"

# One CPU hog per core for as long as the runs go on.
stress-ng --cpu 0 --quiet &
stress=$!
trap 'kill "$stress" 2>/dev/null; wait "$stress" 2>/dev/null' EXIT
# A background job ignores Ctrl-C: the load ends with the script however it ends.
trap 'exit 130' INT TERM
# The load is there before the first run starts.
until [ "$(pgrep -c -P "$stress")" -ge 1 ]; do
  kill -0 "$stress" 2>/dev/null || { echo "stress-ng did not start" >&2; exit 1; }
  sleep 0.1
done

log=$(mktemp)
start=$(date +%s)
for ((i = 1; i <= runs; i++)); do
  t0=$(date +%s)
  if ! QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" -L "$labels" -j "$jobs" --timeout 300 \
       --output-on-failure "$@" >"$log" 2>&1; then
    echo "run $i of $runs FAILED after $(($(date +%s) - t0)) s under load ($(($(date +%s) - start)) s in all):"
    cat "$log"
    rm -f "$log"
    exit 1
  fi
  echo "run $i of $runs passed in $(($(date +%s) - t0)) s: $(grep -m1 'tests passed' "$log")"
done
rm -f "$log"
total=$(($(date +%s) - start))
echo "$runs runs of '$labels' passed under stress-ng in $total s ($((total / (runs > 0 ? runs : 1))) s a run)"

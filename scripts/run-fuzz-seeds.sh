#!/usr/bin/env bash
# Runs one fuzz target once over its seeds: fuzz/seeds/<format>/ (a link to
# another format's folder where the target reads that format's files, as
# importjpeg reads JPEG files) and the sample files that
# fuzz/seeds/<format>.corpus names (paths or globs relative to the shared
# corpus folder, one per line). The project's own seeds are enough without
# the shared folder. Then, where fuzz/seeds/<format>.too-large/ holds files
# the program must refuse as too large at its own limits, once over those
# with VELTO_FUZZ_REAL_LIMITS set (the target then keeps those limits and
# checks the refusal).
set -euo pipefail
fuzzer=$1
name=$(basename "$fuzzer")
format=${name#fuzz_}
top=$(cd "$(dirname "$0")/.." && pwd)
corpus="$top/../shared/corpus"
seeds=$(mktemp -d)
out=$(mktemp)
trap 'rm -rf "$seeds" "$out"' EXIT
n=0
add() {
  local f
  for f in "$@"; do
    [ -f "$f" ] || continue
    n=$((n + 1))
    ln -s "$(readlink -f "$f")" "$seeds/$n"
  done
}
if [ -d "$top/fuzz/seeds/$format" ]; then
  while IFS= read -r -d '' f; do add "$f"; done < <(find -L "$top/fuzz/seeds/$format" -type f -print0)
fi
if [ -f "$top/fuzz/seeds/$format.corpus" ] && [ -d "$corpus" ]; then
  while IFS= read -r pattern; do
    [ -z "$pattern" ] && continue
    case "$pattern" in \#*) continue ;; esac
    # shellcheck disable=SC2086
    while IFS= read -r -d '' f; do add "$f"; done < <(cd "$corpus" && find $pattern -type f -print0 2>/dev/null | sed -z "s|^|$corpus/|")
  done < "$top/fuzz/seeds/$format.corpus"
fi
echo "$name: $n seeds"
[ "$n" -gt 0 ] || { echo "no seeds"; exit 1; }
# -runs=0: execute the seeds once, no mutation; -max_len keeps large seeds whole.
# What the run is meant to catch is a reader that allocates what a file
# declares, so one allocation is held to 512 MB. The whole process gets a
# wide margin over its peak: most of that peak is ASan's quarantine of freed
# blocks (256 MB by default, which put the PNG seeds within a few MB of a
# 512 MB limit), so the quarantine is kept small too.
rss_limit_mb=2048
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=32"
run() {
  "$fuzzer" -runs=0 -max_len=16777216 -malloc_limit_mb=512 -rss_limit_mb=$rss_limit_mb -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$(dirname "$(readlink -f "$fuzzer")")/$name-" "$@" 2>&1 | tee -a "$out"
  return "${PIPESTATUS[0]}"
}
set +e
status=0
if [ -d "$top/fuzz/seeds/$format.too-large" ]; then
  echo "$name: $(find "$top/fuzz/seeds/$format.too-large" -type f | wc -l) seeds too large at the program's limits"
  VELTO_FUZZ_REAL_LIMITS=1 run "$top/fuzz/seeds/$format.too-large" || status=$?
fi
run "$seeds" || status=$?
set -e
peak=$(sed -n 's/^stat::peak_rss_mb: *//p' "$out" | tail -n 1)
echo "$name: peak ${peak:-?} MB of $rss_limit_mb MB"
exit "$status"
